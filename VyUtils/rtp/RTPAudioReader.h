#pragma once

class RTPAudioPacket;

// An origin of encoded audio packets, pulled by the multicast driver.
class RTPAudioReader
{
public:
    RTPAudioReader() = default;
    virtual ~RTPAudioReader();
    RTPAudioReader(const RTPAudioReader&) = delete;
    RTPAudioReader& operator=(const RTPAudioReader&) = delete;

    virtual bool open();
    virtual void close();
    // True: packets go out as soon as they exist; false: the driver paces them by their durations.
    virtual bool isRealTime();
    // The next packet, owned by the caller, or null when none is available now.
    virtual RTPAudioPacket* readPacket();
    virtual void reset();
    virtual int payloadType();
};
