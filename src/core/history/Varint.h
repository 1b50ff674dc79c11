#pragma once

#include <cstdint>
#include <string>

// The history's blobs are built of unsigned LEB128 varints (seven bits a
// byte, low bits first, the top bit set on all but the last byte) and of
// signed values zigzagged into them (0, -1, 1, -2 ... as 0, 1, 2, 3 ...).
namespace varint {

inline void put(std::string& out, std::uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

inline std::uint64_t zigzag(std::int64_t value) {
    return (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63);
}

inline std::int64_t unzigzag(std::uint64_t value) {
    return static_cast<std::int64_t>(value >> 1) ^ -static_cast<std::int64_t>(value & 1);
}

inline void putSigned(std::string& out, std::int64_t value) {
    put(out, zigzag(value));
}

// Reads one varint at `p` and moves past it; false at one cut short by
// `end` or longer than ten bytes.
inline bool get(const unsigned char*& p, const unsigned char* end, std::uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 70 && p < end; shift += 7) {
        const unsigned char byte = *p++;
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

inline bool getSigned(const unsigned char*& p, const unsigned char* end, std::int64_t& value) {
    std::uint64_t raw = 0;
    if (!get(p, end, raw))
        return false;
    value = unzigzag(raw);
    return true;
}

} // namespace varint
