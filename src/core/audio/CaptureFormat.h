#pragma once

namespace orvane {

// The sample format an open endpoint delivers, in the terms of a WAVEFORMATEX
// (with the sub-format of a WAVEFORMATEXTENSIBLE), so that the capture source
// reads it the same way whichever platform layer filled it.
struct CaptureFormat
{
    static constexpr int TagPcm = 1;
    static constexpr int TagExtensible = 0xFFFE;

    enum SubFormat
    {
        SubFormatOther = 0,
        SubFormatPcm = 1,       // KSDATAFORMAT_SUBTYPE_PCM
        SubFormatIeeeFloat = 3, // KSDATAFORMAT_SUBTYPE_IEEE_FLOAT
    };

    int formatTag = 0;
    int channels = 0;
    int samplesPerSec = 0;
    int avgBytesPerSec = 0;
    int blockAlign = 0;
    int bitsPerSample = 0;
    int subFormat = SubFormatOther; // meaningful with TagExtensible only
};

} // namespace orvane
