#pragma once

#include <cstdint>

namespace orvane {

class RawFrame;

// Layout of a command frame: an ARP request followed by an 18-byte command
// header (at offset 42) and the JSON text (at offset 60).
class CommandFrame
{
public:
    static constexpr int HeaderOffset = 42;
    static constexpr int HeaderLength = 18;
    static constexpr int TextOffset = HeaderOffset + HeaderLength;
    static constexpr int MaxTextLength = 1514 - TextOffset;
    static constexpr uint16_t EtherTypeArp = 0x0806;

    struct Ethernet
    {
        uint8_t destination[6];
        uint8_t source[6];
        uint16_t etherType;
    };


    static void writeBigEndian16(uint8_t* out, uint16_t value);
    static void writeBigEndian32(uint8_t* out, uint32_t value);

    static void buildHeader(uint8_t header[HeaderLength], int textLength);

    // A new frame record (one reference) carrying text, or none when the text
    // does not fit into one frame.
    static RawFrame* build(const uint8_t sourceMac[6], const uint8_t sourceIp[4], const uint8_t destinationMac[6],
                             const uint8_t destinationIp[4], const char* text, int textLength);

    static Ethernet ethernet(const RawFrame& frame);

    // True for a command frame that did not come from ownMac (null: no adapter chosen).
    static bool isCommandFrame(const RawFrame& frame, const uint8_t* ownMac);
    // The zero-terminated JSON text at offset 60 (empty for shorter frames).
    static const char* text(const RawFrame& frame);
    // The reply's sender as the ARP body gives it: MAC at 22, IPv4 at 28 (network order).
    static void sender(const RawFrame& frame, uint8_t mac[6], uint8_t ip[4]);
};

} // namespace orvane
