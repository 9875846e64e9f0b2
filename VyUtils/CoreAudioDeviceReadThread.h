#pragma once

#include "VyThread.h"

class CoreAudioDevice;

// Drains the open endpoint into the device's chunk queue.
class CoreAudioDeviceReadThread : public VyThread
{
public:
    explicit CoreAudioDeviceReadThread(CoreAudioDevice* device) : m_device(device) {}
    void run() override;
    // Also wakes the thread where it waits for the endpoint.
    void stop() override;

private:
    CoreAudioDevice* m_device;
};
