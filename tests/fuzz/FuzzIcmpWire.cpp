// libFuzzer target for the reply parsers of both socket kinds and both
// families: arbitrary bytes as a raw-socket datagram (IPv4) or message
// (ICMPv6), as a ping-socket message and as a quoted request in a ping
// socket's error queue. Any crash or sanitizer report is a fault; so is a
// verdict that contradicts what was checked.

#include "IcmpWire.h"

#include <cstdlib>
#include <cstring>

namespace {

const std::uint8_t kData[] = {'E', 'c', 'h', 'o', ' ', 'r', 'e', 'q'};
// 2001:db8::1 and 2001:db8::2.
const icmpwire::v6::Address kTarget6 = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
const icmpwire::v6::Address kOther6 = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};

void checkIcmp6(std::span<const std::uint8_t> input) {
    using namespace icmpwire;
    const v6::Expectation expect{kTarget6, 0x1234, 7, kData};
    const v6::Outcome raw = v6::parseRawMessage(input, kTarget6, expect);
    if (raw.verdict == Verdict::Reply && raw.dataSize != sizeof kData)
        std::abort();
    if (raw.verdict == Verdict::IcmpError && !v6::isErrorType(raw.type))
        std::abort();
    // Only the target's own replies count; errors may come from anywhere.
    if (v6::parseRawMessage(input, kOther6, expect).verdict == Verdict::Reply)
        std::abort();

    // Ping sockets queue their errors apart.
    const v6::Outcome ping = v6::parsePingMessage(input, kTarget6, expect);
    if (ping.verdict == Verdict::IcmpError || (ping.verdict == Verdict::Reply && ping.dataSize != sizeof kData))
        std::abort();

    if (input.size() >= 2) {
        const v6::Outcome error = v6::parsePingError(input[0], input[1], kOther6, input.subspan(2), expect);
        if (error.verdict == Verdict::Reply || (error.verdict == Verdict::IcmpError && !v6::isErrorType(input[0])))
            std::abort();
        (void)v6::statusForIcmp(input[0], input[1]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace icmpwire;
    // The first bytes choose the expectation, so the parsers see matching
    // and non-matching identities alike.
    Expectation expect{0x0100007F, 0x1234, 7, kData};
    if (size >= 4) {
        std::memcpy(&expect.target, bytes, 4);
        bytes += 4;
        size -= 4;
    }
    const std::span<const std::uint8_t> input(bytes, size);

    const Outcome raw = parseRawPacket(input, expect);
    if (raw.verdict == Verdict::Reply && (raw.from != expect.target || raw.dataSize != sizeof kData))
        std::abort();

    const Outcome ping = parsePingMessage(input, expect.target, expect);
    if (ping.verdict == Verdict::Reply && ping.dataSize != sizeof kData)
        std::abort();

    if (size >= 2) {
        const Outcome error = parsePingError(bytes[0], bytes[1], 0, input.subspan(2), expect);
        if (error.verdict == Verdict::Reply)
            std::abort();
        (void)statusForIcmp(bytes[0], bytes[1]);
    }

    checkIcmp6(input);
    return 0;
}
