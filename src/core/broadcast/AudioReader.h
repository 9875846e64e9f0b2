#pragma once

namespace orvane {

class AudioPacket;

// An origin of encoded audio packets, pulled by the multicast driver.
class AudioReader
{
public:
    AudioReader() = default;
    virtual ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    virtual bool open() = 0;
    virtual void close() = 0;
    // True: packets go out as soon as they exist; false: the driver paces them by their durations.
    virtual bool isRealTime();
    // The next packet, owned by the caller, or null when none is available now.
    virtual AudioPacket* readPacket() = 0;
    virtual void reset() = 0;
    // Stops taking input and turns what is still buffered into packets, which
    // readPacket() then hands out: a live source's last moments are not lost
    // at a stop. Called from the owner's thread while packets are being read.
    virtual void finishInput() {}
    virtual int payloadType() = 0;
    // Ends a read in progress soon, from any thread; nothing is read afterwards.
    virtual void interrupt();
};

} // namespace orvane
