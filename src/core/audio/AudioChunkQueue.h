#pragma once

#include "BlockingQueue.h"

#include <vector>

namespace orvane {

// A block of captured audio on its way from the read thread to the dispatch thread.
struct AudioChunk
{
    // Copies the block; a null data pointer stands for silence of that length.
    AudioChunk(const void* block, int byteCount, int frameCount);

    std::vector<unsigned char> data;
    int bytes = 0;
    int frames = 0;
};

using AudioChunkQueue = BlockingQueue<AudioChunk>;

} // namespace orvane
