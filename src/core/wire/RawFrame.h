#pragma once

#include <atomic>
#include <cstdint>

namespace orvane {

// One command frame in memory, shared between the send, receive and waiting
// threads by reference counting. A record that has been handed on is not
// modified any more.
class RawFrame
{
public:
    static constexpr int MaxLength = 1514;   // an Ethernet frame without its checksum
    static constexpr int BufferSize = 1516;  // room for a terminating zero behind a full frame

    static RawFrame* create();
    // Copies a captured frame; none when length is negative or over MaxLength.
    static RawFrame* fromBytes(const uint8_t* data, int length);

    void retain();
    void release();
    uint32_t references() const { return m_references.load(); }

    const uint8_t* bytes() const { return m_bytes; }
    uint8_t* bytes() { return m_bytes; }
    int length() const { return m_length; }

    // Lays out offsets 0 to 41 (Ethernet and ARP request), then header and text.
    // Returns false, leaving the record empty, when the result would not fit a frame.
    bool fill(const uint8_t sourceMac[6], const uint8_t sourceIp[4], const uint8_t destinationMac[6],
              const uint8_t destinationIp[4], const uint8_t* header, int headerLength, const uint8_t* text,
              int textLength);

private:
    RawFrame();
    ~RawFrame() = default;

    std::atomic<uint32_t> m_references{1};
    uint8_t m_bytes[BufferSize];
    int32_t m_length = 0;
};

} // namespace orvane
