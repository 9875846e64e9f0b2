#pragma once

#include "WorkerThread.h"

namespace orvane {

class CaptureEngine;

// The supervisor: opens the adapter, retries while that fails, reopens after errors.
class CaptureThread : public WorkerThread
{
public:
    explicit CaptureThread(CaptureEngine* pcap) : m_pcap(pcap) {}
    void stop() override;
    void run() override;

private:
    CaptureEngine* m_pcap;
};

} // namespace orvane
