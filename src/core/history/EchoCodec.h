#pragma once

#include "history/StoredEcho.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The packed form of a series' echoes, as blocks and journal sections hold
// them: one record after another, each against the state the one before
// left. A record starts with the varint
//     zigzag(step - previous step) * 4 + kind
// where the step is the time since the previous echo's sent time (in ms).
//   kind 0: answered, status 0, the TTL of the previous answer, from the
//           series' address, the previous UTC offset; then the varint
//           zigzag(round trip - previous round trip) in µs.
//   kind 1: timed out (status 11010): nothing follows.
//   kind 2: anything else: a flags byte, then in this order what it names:
//           bits 0-1 the outcome (0 answered, 1 timed out, 2 error);
//           bit 2 the status (varint), else 0 answered, 11010 timed out;
//           bit 3 the round trip (as in kind 0), else none;
//           bit 4 the TTL + 1 (varint), else the previous answer's TTL for
//                 an answer and none otherwise;
//           bit 5 the responder: a family byte (0 none, 1 IPv4, 2 IPv6),
//                 its 4 or 16 bytes and for IPv6 the interface (varint);
//                 else the series' address for an answer, none otherwise;
//           bit 6 the new UTC offset in seconds (zigzag varint).
class EchoCodec {
public:
    // What a record is coded against. A block starts from its slot's start,
    // step 0, round trip 0, no TTL and its `utc_offset`.
    struct State {
        std::int64_t timeMs = 0;
        std::int64_t stepMs = 0;
        std::int64_t rttUs = 0;
        int ttl = -1;
        int offsetS = 0;
        bool operator==(const State&) const = default;
    };

    EchoCodec(const IpAddress& address, const State& start) : m_address(address), m_state(start) {}

    void encode(const StoredEcho& echo, std::string& out);
    // Reads the record at `p` and moves past it; false at a damaged one.
    bool decode(const unsigned char*& p, const unsigned char* end, StoredEcho& echo);

    const State& state() const { return m_state; }

    // The state a block of the slot starting at `slotMs` starts from.
    static State blockStart(std::int64_t slotMs, int offsetS);
    // Every record of `data`, appended to `out`; false at a damaged one.
    static bool decodeAll(std::string_view data, const IpAddress& address, const State& start,
                          std::vector<StoredEcho>& out);

    // A state written out in full, for a journal section that starts in
    // the middle of a slot; times relative to `baseMs`.
    static void putState(std::string& out, const State& state, std::int64_t baseMs);
    static bool getState(const unsigned char*& p, const unsigned char* end, std::int64_t baseMs, State& state);

private:
    IpAddress m_address;
    State m_state;
};
