#pragma once

#include "VyThread.h"

class QPcap;

class QPcapSendThread : public VyThread
{
public:
    explicit QPcapSendThread(QPcap* pcap) : m_pcap(pcap) {}
    void stop() override;
    void run() override;

private:
    QPcap* m_pcap;
};
