#pragma once

#include "AudioPacket.h"
#include "BlockingQueue.h"

// Encoded packets on their way from the encoder's thread to the RTP send thread.
using AudioPacketQueue = BlockingQueue<AudioPacket>;
