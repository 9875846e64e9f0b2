#pragma once

#include "OrvaneAdapter.h"
#include "QPcapFrameQueue.h"

#include <QMutex>
#include <QString>
#include <QWaitCondition>
#include <atomic>

struct pcap;
typedef struct pcap pcap_t;
struct pcap_pkthdr;

class QPcapFrame;
class QPcapObserver;
class QPcapThread;
class QPcapSendThread;
class QPcapRecvThread;

// Keeps one adapter open through libpcap, sends the queued frame records and
// hands every captured frame to its observer. A supervisor thread opens the
// adapter, retries every 100 ms while that fails, and reopens it after an error.
class QPcap
{
public:
    // Command frames are at most 1514 bytes and longer ones are dropped by their
    // length, which the capture header keeps whatever the snapshot; a small
    // snapshot keeps ring slots small (see open()).
    static constexpr int SnapshotLength = 2048;
    static constexpr int ReadTimeoutMs = 1000;
    static constexpr int RetryIntervalMs = 100;
    static constexpr int RingBufferBytes = 4 * 1024 * 1024;
    // Only ARP frames can be command frames; the kernel drops the rest of a busy segment.
    static constexpr const char* FilterText = "arp";

    QPcap();
    virtual ~QPcap();

    QPcap(const QPcap&) = delete;
    QPcap& operator=(const QPcap&) = delete;

    void setObserver(QPcapObserver* observer) { m_observer.store(observer); }
    int start(const OrvaneAdapter* adapter);
    void stop();
    void send(QPcapFrame* frame);

    bool isOpen() const { return m_open.load(); }
    // Opens and closes the adapter once, to tell the operator at once why it
    // cannot be used (no permission, no such interface) instead of retrying quietly.
    static bool probe(const OrvaneAdapter& adapter, QString* error);
    int openCount() const { return m_openCount.load(); }

    // The capture callback's work for one frame; public so that it can be checked without a wire.
    static void deliver(QPcapObserver* observer, const pcap_pkthdr* header, const unsigned char* bytes);

private:
    friend class QPcapThread;
    friend class QPcapSendThread;
    friend class QPcapRecvThread;

    static pcap_t* openHandle(const char* name, QString* error);
    int open();
    void close();
    void superviseStep();
    void sleepUntilNextTick();
    static void captureCallback(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes);

    OrvaneAdapter m_adapter;
    pcap_t* m_handle = nullptr; // written by the supervisor only, while send and receive threads are stopped
    std::atomic<bool> m_sendError{false};
    std::atomic<bool> m_receiveError{false};
    std::atomic<bool> m_open{false};
    std::atomic<int> m_openCount{0};
    std::atomic<QPcapObserver*> m_observer{nullptr};
    QPcapThread* m_supervisor = nullptr;
    QPcapSendThread* m_sendThread = nullptr;
    QPcapRecvThread* m_recvThread = nullptr;
    QPcapFrameQueue m_sendQueue;

    QMutex m_tickMutex; // pairs with m_tick so that stop and errors cut the supervisor's sleep short
    QWaitCondition m_tick;
    bool m_tickPending = false;
};
