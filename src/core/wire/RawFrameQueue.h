#pragma once

#include "BlockingQueue.h"

namespace orvane {

class RawFrame;

// Frames are reference-counted: a queued frame holds one reference, which a
// cleared queue gives back.
struct RawFrameRelease
{
    void operator()(RawFrame* frame) const;
};

using RawFrameQueue = BlockingQueue<RawFrame, RawFrameRelease>;

} // namespace orvane
