#include "history/RttHistogram.h"

#include "history/Varint.h"

#include <bit>

int RttHistogram::binOf(std::int64_t us) {
    if (us < 16)
        return us < 0 ? 0 : static_cast<int>(us);
    const auto value = static_cast<std::uint64_t>(std::min<std::int64_t>(us, (std::int64_t{1} << 31) - 1));
    const int exponent = 63 - std::countl_zero(value); // 4 and up
    const int mantissa = static_cast<int>((value >> (exponent - 3)) & 7);
    return 16 + (exponent - 4) * 8 + mantissa;
}

std::int64_t RttHistogram::lowerBound(int bin) {
    if (bin < 16)
        return bin;
    const int exponent = (bin - 16) / 8 + 4;
    const int mantissa = (bin - 16) % 8;
    return static_cast<std::int64_t>(8 + mantissa) << (exponent - 3);
}

void RttHistogram::merge(const RttHistogram& other) {
    for (std::size_t i = 0; i < m_counts.size(); ++i)
        m_counts[i] += other.m_counts[i];
}

std::uint64_t RttHistogram::total() const {
    std::uint64_t sum = 0;
    for (const std::uint32_t c : m_counts)
        sum += c;
    return sum;
}

void RttHistogram::encode(std::string& out) const {
    int next = 0;
    for (int bin = 0; bin < Bins; ++bin) {
        const std::uint32_t c = m_counts[static_cast<std::size_t>(bin)];
        if (c == 0)
            continue;
        varint::put(out, static_cast<std::uint64_t>(bin - next));
        varint::put(out, c);
        next = bin + 1;
    }
}

bool RttHistogram::decode(const unsigned char* p, std::size_t size) {
    return forEachBin(p, size, [this](int bin, std::uint64_t count) {
        m_counts[static_cast<std::size_t>(bin)] +=
            static_cast<std::uint32_t>(std::min<std::uint64_t>(count, UINT32_MAX));
    });
}
