#pragma once

#include "WorkerThread.h"

namespace orvane {

class AudioCapture;

// Drains the open endpoint into the device's chunk queue.
class AudioReadThread : public WorkerThread
{
public:
    explicit AudioReadThread(AudioCapture* device) : m_device(device) {}
    void run() override;
    // Also wakes the thread where it waits for the endpoint.
    void stop() override;

private:
    AudioCapture* m_device;
};

} // namespace orvane
