#pragma once

#include <cstdint>

namespace orvane {

// One encoded audio frame ready to be one RTP payload: the 4-byte MPEG
// audio-specific header (all zero: no fragmentation offset) followed by the
// frame. Whoever takes a packet from a source deletes it.
class AudioPacket
{
public:
    static constexpr int HeaderBytes = 4;

    AudioPacket() = default;
    ~AudioPacket();
    AudioPacket(const AudioPacket&) = delete;
    AudioPacket& operator=(const AudioPacket&) = delete;

    // Copies the frame behind the header; the buffer is reused when large enough.
    // Returns false (and leaves the packet unchanged) for a negative length.
    bool setData(const uint8_t* bytes, int length);

    const uint8_t* data() const { return m_data; }
    int capacity() const { return m_capacity; }
    int size() const { return m_size; }

    double duration = 0.0; // ms
    int sampleRate = 0;
    int channels = 0;
    int payloadType = -1;

private:
    uint8_t* m_data = nullptr;
    int m_capacity = 0;
    int m_size = 0;
};

} // namespace orvane
