#include "RTPAudioReader.h"

RTPAudioReader::~RTPAudioReader() = default;

bool RTPAudioReader::open()
{
    return true;
}

void RTPAudioReader::close() {}

bool RTPAudioReader::isRealTime()
{
    return false;
}

RTPAudioPacket* RTPAudioReader::readPacket()
{
    return nullptr;
}

void RTPAudioReader::reset() {}

int RTPAudioReader::payloadType()
{
    return -1;
}
