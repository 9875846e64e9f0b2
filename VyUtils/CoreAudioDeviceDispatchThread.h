#pragma once

#include "VyThread.h"

class CoreAudioDevice;

// Hands the queued chunks, in order, to the device's observer.
class CoreAudioDeviceDispatchThread : public VyThread
{
public:
    explicit CoreAudioDeviceDispatchThread(CoreAudioDevice* device) : m_device(device) {}
    void run() override;
    // Also wakes the thread where it waits for chunks.
    void stop() override;

private:
    CoreAudioDevice* m_device;
};
