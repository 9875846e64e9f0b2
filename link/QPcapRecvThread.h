#pragma once

#include "VyThread.h"

class QPcap;

class QPcapRecvThread : public VyThread
{
public:
    explicit QPcapRecvThread(QPcap* pcap) : m_pcap(pcap) {}
    // Also breaks the capture loop so that the body returns.
    void stop() override;
    void run() override;

private:
    QPcap* m_pcap;
};
