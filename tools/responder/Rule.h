#pragma once

// How the responder treats echo requests to one address: the OPTIONS part of
// --rule ADDR=OPTIONS and --default OPTIONS.

#include "Address.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace responder {

// What is sent in place of the proper echo reply. Normal sends the proper one.
enum class Mode {
    Normal,
    Stale,         // the proper reply to the previous request instead
    WrongSeq,      // sequence number + 1
    WrongId,       // identifier + 1
    Spoof,         // source replaced by Rule::spoofSource, of the same family
    BadSum,        // ICMP or ICMPv6 checksum spoilt
    Truncate,      // only the first Rule::truncateTo data bytes
    BadData,       // first data byte changed (or one byte added)
    Error,         // ICMP error Rule::errorType/errorCode quoting the request (ICMPv6 for IPv6)
    ErrorWrongSeq, // the same error quoting the request with sequence number + 1
    ErrorWrongId,  // the same error quoting the request with identifier + 1
    ErrorTruncate, // the same error quoting only the request's IP header
};

struct Rule {
    std::optional<std::uint32_t> delayMs; // unset: the --delay value
    std::optional<std::uint8_t> ttl;      // TTL or hop limit; unset: the --ttl value
    std::string loss;                     // '.' answers, 'x' drops, cyclically; empty answers all
    std::optional<std::uint32_t> dupMs;   // a copy of the answer this long after it
    Mode mode = Mode::Normal;
    Address spoofSource;
    std::size_t truncateTo = 0;
    std::uint8_t errorType = 0;
    std::uint8_t errorCode = 0;
};

// Longest delay accepted anywhere, one day, so due times stay far from overflow.
inline constexpr std::uint32_t kMaxDelayMs = 86'400'000;

// Parses a comma-separated option list. On failure returns nothing and says why in `error`.
std::optional<Rule> parseRule(std::string_view options, std::string& error);

// One word for the mode, for log lines.
const char* modeName(Mode mode);

} // namespace responder
