// libFuzzer target for the reply parsers of both socket kinds: arbitrary
// bytes as a raw-socket datagram, as a ping-socket message and as a quoted
// request in a ping socket's error queue. Any crash or sanitizer report is a
// fault; so is a verdict that contradicts what was checked.

#include "IcmpWire.h"

#include <cstdlib>
#include <cstring>

namespace {

const std::uint8_t kData[] = {'E', 'c', 'h', 'o', ' ', 'r', 'e', 'q'};

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
    return 0;
}
