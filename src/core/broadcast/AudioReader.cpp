#include "AudioReader.h"

namespace orvane {

AudioReader::~AudioReader() = default;

bool AudioReader::open()
{
    return true;
}

void AudioReader::close() {}

bool AudioReader::isRealTime()
{
    return false;
}

AudioPacket* AudioReader::readPacket()
{
    return nullptr;
}

void AudioReader::reset() {}

void AudioReader::interrupt() {}

int AudioReader::payloadType()
{
    return -1;
}

} // namespace orvane
