#pragma once

#include "WorkerThread.h"

namespace orvane {

class AudioCapture;

// Hands the queued chunks, in order, to the device's observer.
class AudioDispatchThread : public WorkerThread
{
public:
    explicit AudioDispatchThread(AudioCapture* device) : m_device(device) {}
    void run() override;
    // Also wakes the thread where it waits for chunks.
    void stop() override;

private:
    AudioCapture* m_device;
};

} // namespace orvane
