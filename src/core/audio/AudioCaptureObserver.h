#pragma once

namespace orvane {

class AudioCapture;

// Told what an open endpoint does. Not owned by the device, and never deleted
// through this interface.
class AudioCaptureObserver
{
public:
    // Inside open(), on the caller's thread, before the capture threads start:
    // the mix format can be read.
    virtual void onDeviceStarted(AudioCapture* device);
    // Inside close(), after both capture threads are joined.
    virtual void onDeviceStopped(AudioCapture* device);
    // On the dispatch thread, one captured block in capture order; data is
    // valid only during the call.
    virtual void onDeviceData(AudioCapture* device, const unsigned char* data, int frames, int bytes);

protected:
    ~AudioCaptureObserver() = default;
};

inline void AudioCaptureObserver::onDeviceStarted(AudioCapture*) {}
inline void AudioCaptureObserver::onDeviceStopped(AudioCapture*) {}
inline void AudioCaptureObserver::onDeviceData(AudioCapture*, const unsigned char*, int, int) {}

} // namespace orvane
