#include "AudioRingBuffer.h"

#include <algorithm>
#include <cstring>

namespace orvane {

AudioRingBuffer::AudioRingBuffer(int capacity) : m_bytes(size_t(std::max(capacity, 0))) {}

void AudioRingBuffer::write(const uint8_t* bytes, int length)
{
    const int cap = capacity();
    if (!bytes || length <= 0 || cap == 0)
        return;
    QMutexLocker lock(&m_lock);
    // Only the newest capacity bytes of an oversized write can survive.
    if (length > cap) {
        bytes += length - cap;
        length = cap;
    }
    const int overflow = m_count + length - cap;
    if (overflow > 0) {
        m_readPos = (m_readPos + overflow) % cap;
        m_count -= overflow;
    }
    int writePos = (m_readPos + m_count) % cap;
    int left = length;
    while (left > 0) {
        const int chunk = std::min(left, cap - writePos);
        memcpy(m_bytes.data() + writePos, bytes, size_t(chunk));
        bytes += chunk;
        left -= chunk;
        writePos = (writePos + chunk) % cap;
    }
    m_count += length;
}

int AudioRingBuffer::read(uint8_t* buffer, int length)
{
    if (!buffer || length <= 0)
        return 0;
    QMutexLocker lock(&m_lock);
    const int cap = capacity();
    const int total = std::min(length, m_count);
    int left = total;
    while (left > 0) {
        const int chunk = std::min(left, cap - m_readPos);
        memcpy(buffer, m_bytes.data() + m_readPos, size_t(chunk));
        buffer += chunk;
        left -= chunk;
        m_readPos = (m_readPos + chunk) % cap;
    }
    m_count -= total;
    return total;
}

void AudioRingBuffer::reset()
{
    QMutexLocker lock(&m_lock);
    m_readPos = 0;
    m_count = 0;
}

int AudioRingBuffer::count() const
{
    QMutexLocker lock(&m_lock);
    return m_count;
}

} // namespace orvane
