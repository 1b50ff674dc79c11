#include "history/JournalBlob.h"

#include "history/EchoCodec.h"
#include "history/Varint.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kEntry = 8;

void putU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t getU32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

} // namespace

void JournalBlob::add(std::int64_t series, std::string section) {
    m_sections.emplace_back(series, std::move(section));
}

std::string JournalBlob::finish() {
    std::stable_sort(m_sections.begin(), m_sections.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto n = static_cast<std::uint32_t>(m_sections.size());
    std::string out;
    std::size_t size = 4 + std::size_t{n} * kEntry;
    for (const auto& s : m_sections)
        size += s.second.size();
    out.reserve(size);
    putU32(out, n);
    auto offset = static_cast<std::uint32_t>(4 + std::size_t{n} * kEntry);
    for (const auto& s : m_sections) {
        putU32(out, static_cast<std::uint32_t>(s.first));
        putU32(out, offset);
        offset += static_cast<std::uint32_t>(s.second.size());
    }
    for (const auto& s : m_sections)
        out += s.second;
    m_sections.clear();
    return out;
}

bool JournalBlob::sectionsOf(const Read& read, std::uint32_t blobSize, const std::vector<std::int64_t>& wanted,
                             const std::function<void(std::int64_t series, std::string_view section)>& take) {
    char word[kEntry];
    if (blobSize < 4 || !read(0, 4, word))
        return false;
    const std::uint32_t n = getU32(word);
    if (n > (blobSize - 4) / kEntry)
        return false;
    const auto entry = [&](std::uint32_t i, std::uint32_t& series, std::uint32_t& offset) {
        if (!read(4 + i * kEntry, kEntry, word))
            return false;
        series = getU32(word);
        offset = getU32(word + 4);
        return true;
    };
    std::string section;
    for (const std::int64_t s : wanted) {
        // The first entry of the series.
        std::uint32_t lo = 0;
        std::uint32_t hi = n;
        std::uint32_t series = 0;
        std::uint32_t offset = 0;
        while (lo < hi) {
            const std::uint32_t mid = lo + (hi - lo) / 2;
            if (!entry(mid, series, offset))
                return false;
            if (series < s)
                lo = mid + 1;
            else
                hi = mid;
        }
        for (std::uint32_t i = lo; i < n; ++i) {
            if (!entry(i, series, offset))
                return false;
            if (series != s)
                break;
            std::uint32_t next = 0;
            std::uint32_t end = blobSize;
            if (i + 1 < n && !entry(i + 1, next, end))
                return false;
            if (offset > end || end > blobSize)
                return false;
            section.resize(end - offset);
            if (!section.empty() && !read(offset, end - offset, section.data()))
                return false;
            take(s, section);
        }
    }
    return true;
}

bool JournalBlob::seriesIn(const Read& read, std::uint32_t blobSize, std::vector<std::int64_t>& out) {
    char word[4];
    if (blobSize < 4 || !read(0, 4, word))
        return false;
    const std::uint32_t n = getU32(word);
    if (n > (blobSize - 4) / kEntry)
        return false;
    std::string directory(std::size_t{n} * kEntry, '\0');
    if (n > 0 && !read(4, n * kEntry, directory.data()))
        return false;
    for (std::uint32_t i = 0; i < n; ++i)
        out.push_back(getU32(directory.data() + i * kEntry));
    return true;
}

bool JournalBlob::allSections(std::string_view blob,
                              const std::function<void(std::int64_t series, std::string_view section)>& take) {
    if (blob.size() < 4)
        return false;
    const std::uint32_t n = getU32(blob.data());
    if (n > (blob.size() - 4) / kEntry)
        return false;
    for (std::uint32_t i = 0; i < n; ++i) {
        const char* e = blob.data() + 4 + i * kEntry;
        const std::uint32_t offset = getU32(e + 4);
        const std::uint32_t end = i + 1 < n ? getU32(e + kEntry + 4) : static_cast<std::uint32_t>(blob.size());
        if (offset > end || end > blob.size())
            return false;
        take(getU32(e), blob.substr(offset, end - offset));
    }
    return true;
}

bool JournalBlob::decode(std::string_view section, std::int64_t baseMs, const IpAddress& address,
                         std::vector<StoredEcho>& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(section.data());
    const unsigned char* end = p + section.size();
    EchoCodec::State state;
    std::uint64_t count = 0;
    if (!EchoCodec::getState(p, end, baseMs, state) || !varint::get(p, end, count) || count > section.size())
        return false;
    EchoCodec codec(address, state);
    StoredEcho echo;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (!codec.decode(p, end, echo))
            return false;
        out.push_back(echo);
    }
    return p == end;
}
