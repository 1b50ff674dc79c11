#pragma once

#include "history/StoredEcho.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The data of a journal row: what one writer committed in one flush, for
// every series at once, until the slots it belongs to are written as blocks.
//   u32 n (little endian), then n entries of u32 series and u32 offset of
//   its section in the blob, ordered by series; then the sections.
// A section is one series' echoes of one slot: the codec's state before the
// first (see EchoCodec::putState, times relative to the row's first_ms),
// the varint count, then the records.
class JournalBlob {
public:
    // `section` holds the state, count and records.
    void add(std::int64_t series, std::string section);
    bool empty() const { return m_sections.empty(); }
    std::string finish();

    // Reads `size` bytes at `offset` of a stored blob into `out`.
    using Read = std::function<bool(std::uint32_t offset, std::uint32_t size, char* out)>;
    // Calls `take` with each section of the series in `wanted` (sorted),
    // reading only the directory entries a binary search needs and those
    // sections. False at a damaged blob.
    static bool sectionsOf(const Read& read, std::uint32_t blobSize, const std::vector<std::int64_t>& wanted,
                           const std::function<void(std::int64_t series, std::string_view section)>& take);
    // The series the blob has sections of, from its directory alone.
    static bool seriesIn(const Read& read, std::uint32_t blobSize, std::vector<std::int64_t>& out);
    // Every section of a blob at hand.
    static bool allSections(std::string_view blob,
                            const std::function<void(std::int64_t series, std::string_view section)>& take);
    // The section's echoes, appended to `out`.
    static bool decode(std::string_view section, std::int64_t baseMs, const IpAddress& address,
                       std::vector<StoredEcho>& out);

private:
    std::vector<std::pair<std::int64_t, std::string>> m_sections;
};
