#pragma once

#include "WorkerThread.h"

namespace orvane {

class CaptureEngine;

class CaptureReceiveThread : public WorkerThread
{
public:
    explicit CaptureReceiveThread(CaptureEngine* pcap) : m_pcap(pcap) {}
    // Also breaks the capture loop so that the body returns.
    void stop() override;
    void run() override;

private:
    CaptureEngine* m_pcap;
};

} // namespace orvane
