#pragma once

#include "WorkerThread.h"

namespace orvane {

class CaptureEngine;

class CaptureSendThread : public WorkerThread
{
public:
    explicit CaptureSendThread(CaptureEngine* pcap) : m_pcap(pcap) {}
    void stop() override;
    void run() override;

private:
    CaptureEngine* m_pcap;
};

} // namespace orvane
