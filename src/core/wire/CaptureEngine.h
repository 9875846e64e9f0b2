#pragma once

#include "Adapter.h"
#include "RawFrameQueue.h"

#include <QMutex>
#include <QString>
#include <QWaitCondition>
#include <atomic>

struct pcap;
typedef struct pcap pcap_t;
struct pcap_pkthdr;

namespace orvane {

class RawFrame;
class CaptureObserver;
class CaptureThread;
class CaptureSendThread;
class CaptureReceiveThread;

// Keeps one adapter open through libpcap, sends the queued frame records and
// hands every captured frame to its observer. A supervisor thread opens the
// adapter, retries every 100 ms while that fails, and reopens it after an error.
class CaptureEngine
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

    CaptureEngine();
    virtual ~CaptureEngine();

    CaptureEngine(const CaptureEngine&) = delete;
    CaptureEngine& operator=(const CaptureEngine&) = delete;

    void setObserver(CaptureObserver* observer) { m_observer.store(observer); }
    int start(const Adapter* adapter);
    void stop();
    void send(RawFrame* frame);

    bool isOpen() const { return m_open.load(); }
    // Opens and closes the adapter once, to tell the operator at once why it
    // cannot be used (no permission, no such interface) instead of retrying quietly.
    static bool probe(const Adapter& adapter, QString* error);
    int openCount() const { return m_openCount.load(); }

    // The capture callback's work for one frame; public so that it can be checked without a wire.
    static void deliver(CaptureObserver* observer, const pcap_pkthdr* header, const unsigned char* bytes);

private:
    friend class CaptureThread;
    friend class CaptureSendThread;
    friend class CaptureReceiveThread;

    static pcap_t* openHandle(const char* name, QString* error);
    int open();
    void close();
    void superviseStep();
    void sleepUntilNextTick();
    static void captureCallback(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes);

    Adapter m_adapter;
    pcap_t* m_handle = nullptr; // written by the supervisor only, while send and receive threads are stopped
    std::atomic<bool> m_sendError{false};
    std::atomic<bool> m_receiveError{false};
    std::atomic<bool> m_open{false};
    std::atomic<int> m_openCount{0};
    std::atomic<CaptureObserver*> m_observer{nullptr};
    CaptureThread* m_supervisor = nullptr;
    CaptureSendThread* m_sendThread = nullptr;
    CaptureReceiveThread* m_recvThread = nullptr;
    RawFrameQueue m_sendQueue;

    QMutex m_tickMutex; // pairs with m_tick so that stop and errors cut the supervisor's sleep short
    QWaitCondition m_tick;
    bool m_tickPending = false;
};

} // namespace orvane
