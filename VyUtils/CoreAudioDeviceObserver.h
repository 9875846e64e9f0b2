#pragma once

class CoreAudioDevice;

// Told what an open endpoint does. Not owned by the device, and never deleted
// through this interface.
class CoreAudioDeviceObserver
{
public:
    // Inside open(), on the caller's thread, before the capture threads start:
    // the mix format can be read.
    virtual void onDeviceStarted(CoreAudioDevice* device);
    // Inside close(), after both capture threads are joined.
    virtual void onDeviceStopped(CoreAudioDevice* device);
    // On the dispatch thread, one captured block in capture order; data is
    // valid only during the call.
    virtual void onDeviceData(CoreAudioDevice* device, const unsigned char* data, int frames, int bytes);

protected:
    ~CoreAudioDeviceObserver() = default;
};

inline void CoreAudioDeviceObserver::onDeviceStarted(CoreAudioDevice*) {}
inline void CoreAudioDeviceObserver::onDeviceStopped(CoreAudioDevice*) {}
inline void CoreAudioDeviceObserver::onDeviceData(CoreAudioDevice*, const unsigned char*, int, int) {}
