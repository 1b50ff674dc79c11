#pragma once

#include <cstdint>

// The 28-byte echo reply record kept for the last echo: the layout callers and
// stored data know, little-endian, with both pointer fields always 0.
#pragma pack(push, 1)
struct TIPOptionInformation {
    std::uint8_t Ttl = 0;
    std::uint8_t Tos = 0;
    std::uint8_t Flags = 0;
    std::uint8_t OptionsSize = 0;
    std::uint32_t OptionsData = 0;
};

struct TIcmpEchoReply {
    std::uint32_t Address = 0; // network byte order
    std::uint32_t Status = 0;
    std::uint32_t RoundTripTime = 0; // milliseconds
    std::uint16_t DataSize = 0;
    std::uint16_t Reserved = 0;
    std::uint32_t Data = 0;
    TIPOptionInformation Options;
};
#pragma pack(pop)

static_assert(sizeof(TIcmpEchoReply) == 28, "the reply record is 28 bytes");
