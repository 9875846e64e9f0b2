#include "CaptureEngine.h"

#include "RawFrame.h"
#include "CaptureObserver.h"
#include "CaptureReceiveThread.h"
#include "CaptureSendThread.h"
#include "CaptureThread.h"

#include <QDeadlineTimer>
#include <cstdio>
#include <cstring>
#include <pcap/pcap.h>

namespace orvane {

CaptureEngine::CaptureEngine() = default;

CaptureEngine::~CaptureEngine()
{
    stop();
}

int CaptureEngine::start(const Adapter* adapter)
{
    stop();
    m_sendQueue.clear();
    m_sendError.store(false);
    m_receiveError.store(false);
    if (adapter)
        m_adapter = *adapter;
    else
        m_adapter = Adapter();
    m_supervisor = new CaptureThread(this);
    m_supervisor->start();
    return 0;
}

void CaptureEngine::stop()
{
    if (m_supervisor) {
        m_supervisor->stop();
        m_supervisor->wait();
        delete m_supervisor;
        m_supervisor = nullptr;
    }
    m_sendQueue.clear();
}

void CaptureEngine::send(RawFrame* frame)
{
    m_sendQueue.push(frame);
}

pcap_t* CaptureEngine::openHandle(const char* name, QString* error)
{
    char text[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_create(name, text);
    if (!handle) {
        if (error)
            *error = QString::fromLocal8Bit(text);
        return nullptr;
    }
    pcap_set_snaplen(handle, SnapshotLength);
    pcap_set_promisc(handle, 1);
    pcap_set_timeout(handle, ReadTimeoutMs);
    // Without immediate mode Linux holds captured frames until a buffer block
    // fills or the timeout passes, and every reply would arrive up to a second late.
    pcap_set_immediate_mode(handle, 1);
    // In immediate mode every ring slot is as large as the snapshot: with a
    // 65536-byte snapshot the default ring holds about 30 frames, and a search
    // answered by a full segment of devices at once would lose replies. With
    // 2048-byte snapshots this ring holds about a thousand.
    pcap_set_buffer_size(handle, RingBufferBytes);
    const int status = pcap_activate(handle);
    if (status < 0) {
        if (error) {
            *error = QString::fromLocal8Bit(pcap_geterr(handle));
            if (error->isEmpty())
                *error = QString::fromLocal8Bit(pcap_statustostr(status));
        }
        pcap_close(handle);
        return nullptr;
    }
    return handle;
}

bool CaptureEngine::probe(const Adapter& adapter, QString* error)
{
    pcap_t* handle = openHandle(adapter.pcapName, error);
    if (!handle)
        return false;
    pcap_close(handle);
    return true;
}

int CaptureEngine::open()
{
    // The error text is not shown: the supervisor retries quietly every 100 ms.
    pcap_t* handle = openHandle(m_adapter.pcapName, nullptr);
    if (!handle)
        return -1;
    m_handle = handle;
    // The filter goes on before anything is sent: libpcap drains the socket when
    // a filter is set, and would throw away replies that arrived in between.
    bpf_program program;
    bool filtered = false;
    if (pcap_compile(handle, &program, FilterText, 1, m_adapter.maskValue()) < 0) {
        fprintf(stderr, "[ERROR] Unable to compile the packet filter. Check the syntax.\n");
    } else {
        filtered = pcap_setfilter(handle, &program) >= 0;
        pcap_freecode(&program);
    }
    m_sendThread = new CaptureSendThread(this);
    m_sendThread->start();
    // Without its filter the receive thread does not run; nothing is received
    // until the adapter is reopened.
    if (filtered) {
        m_recvThread = new CaptureReceiveThread(this);
        m_recvThread->start();
    }
    m_open.store(true);
    m_openCount.fetch_add(1);
    return 0;
}

void CaptureEngine::close()
{
    m_open.store(false);
    if (m_sendThread) {
        m_sendThread->stop();
        m_sendThread->wait();
        delete m_sendThread;
        m_sendThread = nullptr;
    }
    if (m_recvThread) {
        m_recvThread->stop();
        m_recvThread->wait();
        delete m_recvThread;
        m_recvThread = nullptr;
    }
    if (m_handle) {
        pcap_close(m_handle);
        m_handle = nullptr;
    }
}

void CaptureEngine::superviseStep()
{
    if (!m_handle) {
        if (open() < 0) {
            close();
            return;
        }
        // A fresh handle: errors of the previous one no longer matter.
        m_sendError.store(false);
        m_receiveError.store(false);
        return;
    }
    if (m_sendError.load() || m_receiveError.load()) {
        close();
        if (open() == 0) {
            m_sendError.store(false);
            m_receiveError.store(false);
        } else {
            close();
        }
    }
}

void CaptureEngine::sleepUntilNextTick()
{
    QDeadlineTimer deadline(RetryIntervalMs);
    QMutexLocker lock(&m_tickMutex);
    while (!m_tickPending) {
        if (!m_tick.wait(&m_tickMutex, deadline))
            break;
    }
    m_tickPending = false;
}

void CaptureEngine::deliver(CaptureObserver* observer, const pcap_pkthdr* header, const unsigned char* bytes)
{
    // A frame longer than an Ethernet frame cannot be a command frame, and
    // the record has no room for it.
    if (!header || header->len > static_cast<bpf_u_int32>(RawFrame::MaxLength) || header->caplen < header->len)
        return;
    RawFrame* frame = RawFrame::fromBytes(bytes, static_cast<int>(header->caplen));
    if (!frame)
        return;
    if (observer)
        observer->onPacket(frame);
    frame->release();
}

void CaptureEngine::captureCallback(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes)
{
    CaptureEngine* pcap = reinterpret_cast<CaptureEngine*>(user);
    deliver(pcap->m_observer.load(), header, bytes);
}

} // namespace orvane
