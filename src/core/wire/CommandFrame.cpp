#include "CommandFrame.h"

#include "RawFrame.h"

#include <cstring>

namespace orvane {

namespace {
uint16_t readBigEndian16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
} // namespace

void CommandFrame::writeBigEndian16(uint8_t* out, uint16_t value)
{
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
}

void CommandFrame::writeBigEndian32(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

void CommandFrame::buildHeader(uint8_t header[HeaderLength], int textLength)
{
    const uint32_t length = static_cast<uint32_t>(textLength) + HeaderLength;
    memset(header, 0, HeaderLength);
    header[0] = 0x88;
    header[1] = 0x88;
    header[2] = 0x01;
    writeBigEndian16(header + 3, static_cast<uint16_t>(length));
    writeBigEndian32(header + 5, 0);
    writeBigEndian32(header + 9, length);
    // bytes 13 to 15 stay zero
    writeBigEndian16(header + 16, static_cast<uint16_t>(length));
}

RawFrame* CommandFrame::build(const uint8_t sourceMac[6], const uint8_t sourceIp[4],
                                      const uint8_t destinationMac[6], const uint8_t destinationIp[4], const char* text,
                                      int textLength)
{
    if (textLength < 0 || textLength > MaxTextLength)
        return nullptr;
    uint8_t header[HeaderLength];
    buildHeader(header, textLength);
    RawFrame* frame = RawFrame::create();
    if (!frame->fill(sourceMac, sourceIp, destinationMac, destinationIp, header, HeaderLength,
                     reinterpret_cast<const uint8_t*>(text), textLength)) {
        frame->release();
        return nullptr;
    }
    return frame;
}

CommandFrame::Ethernet CommandFrame::ethernet(const RawFrame& frame)
{
    const uint8_t* p = frame.bytes();
    Ethernet e;
    memcpy(e.destination, p, 6);
    memcpy(e.source, p + 6, 6);
    e.etherType = readBigEndian16(p + 12);
    return e;
}

bool CommandFrame::isCommandFrame(const RawFrame& frame, const uint8_t* ownMac)
{
    // Bytes behind the frame's length are zero in a record, so short frames
    // simply fail the tests below.
    if (frame.length() > RawFrame::MaxLength)
        return false;
    const uint8_t* p = frame.bytes();
    if (ownMac && memcmp(p + 6, ownMac, 6) == 0)
        return false;
    if (readBigEndian16(p + 12) != EtherTypeArp)
        return false;
    return p[HeaderOffset] == 0x88 && p[HeaderOffset + 1] == 0x88;
}

const char* CommandFrame::text(const RawFrame& frame)
{
    return reinterpret_cast<const char*>(frame.bytes() + TextOffset);
}

void CommandFrame::sender(const RawFrame& frame, uint8_t mac[6], uint8_t ip[4])
{
    memcpy(mac, frame.bytes() + 22, 6);
    memcpy(ip, frame.bytes() + 28, 4);
}

} // namespace orvane
