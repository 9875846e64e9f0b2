#pragma once

#include "VyThread.h"

class QPcap;

// The supervisor: opens the adapter, retries while that fails, reopens after errors.
class QPcapThread : public VyThread
{
public:
    explicit QPcapThread(QPcap* pcap) : m_pcap(pcap) {}
    void stop() override;
    void run() override;

private:
    QPcap* m_pcap;
};
