#pragma once

#include <QMutex>
#include <cstdint>
#include <vector>

namespace orvane {

// Fixed-size byte ring that keeps the newest bytes: a write longer than the
// free space overwrites the oldest ones, so a consumer that falls behind
// loses old audio rather than blocking the producer.
class AudioRingBuffer
{
public:
    explicit AudioRingBuffer(int capacity);

    AudioRingBuffer(const AudioRingBuffer&) = delete;
    AudioRingBuffer& operator=(const AudioRingBuffer&) = delete;

    void write(const uint8_t* bytes, int length);
    // Copies up to length bytes out; returns how many were copied.
    int read(uint8_t* buffer, int length);
    void reset();

    int capacity() const { return int(m_bytes.size()); }
    int count() const;

private:
    mutable QMutex m_lock; // guards m_readPos, m_count and the bytes
    std::vector<uint8_t> m_bytes;
    int m_readPos = 0;
    int m_count = 0;
};

} // namespace orvane
