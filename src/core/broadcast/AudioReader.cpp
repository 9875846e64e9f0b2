#include "AudioReader.h"

namespace orvane {

AudioReader::~AudioReader() = default;

bool AudioReader::isRealTime()
{
    return false;
}

void AudioReader::interrupt() {}

} // namespace orvane
