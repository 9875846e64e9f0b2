#include "AudioPacket.h"

#include <cstdlib>
#include <cstring>

namespace orvane {

AudioPacket::~AudioPacket()
{
    free(m_data);
}

bool AudioPacket::setData(const uint8_t* bytes, int length)
{
    if (length < 0 || (length > 0 && !bytes))
        return false;
    const int needed = length + HeaderBytes;
    if (m_capacity < needed) {
        auto* fresh = static_cast<uint8_t*>(calloc(size_t(needed), 1));
        if (!fresh)
            return false;
        free(m_data);
        m_data = fresh;
        m_capacity = needed;
    }
    // A reused buffer may hold an older frame's bytes in its header.
    memset(m_data, 0, HeaderBytes);
    if (length > 0)
        memcpy(m_data + HeaderBytes, bytes, size_t(length));
    m_size = needed;
    return true;
}

} // namespace orvane
