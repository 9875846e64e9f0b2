#include "RawFrame.h"
#include "RawFrameQueue.h"

#include <cstring>

namespace orvane {

RawFrame::RawFrame()
{
    memset(m_bytes, 0, sizeof m_bytes);
}

RawFrame* RawFrame::create()
{
    return new RawFrame();
}

RawFrame* RawFrame::fromBytes(const uint8_t* data, int length)
{
    if (length < 0 || length > MaxLength || (length > 0 && !data))
        return nullptr;
    RawFrame* frame = new RawFrame();
    if (length > 0)
        memcpy(frame->m_bytes, data, static_cast<size_t>(length));
    frame->m_length = length;
    frame->m_bytes[length] = 0;
    return frame;
}

void RawFrame::retain()
{
    m_references.fetch_add(1, std::memory_order_relaxed);
}

void RawFrame::release()
{
    if (m_references.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

bool RawFrame::fill(const uint8_t sourceMac[6], const uint8_t sourceIp[4], const uint8_t destinationMac[6],
                      const uint8_t destinationIp[4], const uint8_t* header, int headerLength, const uint8_t* text,
                      int textLength)
{
    memset(m_bytes, 0, MaxLength);
    m_length = 0;
    if (headerLength < 0 || textLength < 0 || 42 + headerLength + textLength > MaxLength)
        return false;

    uint8_t* p = m_bytes;
    memcpy(p + 0, destinationMac, 6);
    memcpy(p + 6, sourceMac, 6);
    p[12] = 0x08; // EtherType ARP
    p[13] = 0x06;
    p[14] = 0x00; // hardware type Ethernet
    p[15] = 0x01;
    p[16] = 0x08; // protocol type IPv4
    p[17] = 0x00;
    p[18] = 6;
    p[19] = 4;
    p[20] = 0x00; // request
    p[21] = 0x01;
    memcpy(p + 22, sourceMac, 6);
    memcpy(p + 28, sourceIp, 4);
    memcpy(p + 32, destinationMac, 6);
    memcpy(p + 38, destinationIp, 4);
    if (headerLength > 0)
        memcpy(p + 42, header, static_cast<size_t>(headerLength));
    if (textLength > 0)
        memcpy(p + 42 + headerLength, text, static_cast<size_t>(textLength));
    m_length = 42 + headerLength + textLength;
    m_bytes[m_length] = 0;
    return true;
}

void RawFrameRelease::operator()(RawFrame* frame) const
{
    frame->release();
}

} // namespace orvane
