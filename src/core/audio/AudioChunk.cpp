#include "AudioChunkQueue.h"

#include <cstring>

namespace orvane {

AudioChunk::AudioChunk(const void* block, int byteCount, int frameCount)
    : data(size_t(byteCount > 0 ? byteCount : 0)), bytes(byteCount), frames(frameCount)
{
    if (block && !data.empty())
        memcpy(data.data(), block, data.size());
}

} // namespace orvane
