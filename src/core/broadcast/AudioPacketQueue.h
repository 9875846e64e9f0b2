#pragma once

#include "AudioPacket.h"
#include "BlockingQueue.h"

namespace orvane {

// Encoded packets on their way from the encoder's thread to the RTP send thread.
using AudioPacketQueue = BlockingQueue<AudioPacket>;

} // namespace orvane
