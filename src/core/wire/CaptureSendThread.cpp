#include "CaptureSendThread.h"

#include "CaptureEngine.h"
#include "RawFrame.h"

#include <pcap/pcap.h>

namespace orvane {

void CaptureSendThread::stop()
{
    WorkerThread::stop();
    m_pcap->m_sendQueue.wake();
}

void CaptureSendThread::run()
{
    while (!isStopRequested()) {
        // Blocking on the queue instead of polling it every millisecond keeps an
        // idle engine off the processor and sends a new frame at once.
        const unsigned seen = m_pcap->m_sendQueue.wakeCount();
        if (isStopRequested())
            break;
        RawFrame* frame = m_pcap->m_sendQueue.waitPop(CaptureEngine::RetryIntervalMs, seen);
        if (!frame)
            continue;
        const int result = pcap_sendpacket(m_pcap->m_handle, frame->bytes(), frame->length());
        frame->release();
        if (result < 0) {
            m_pcap->m_sendError.store(true);
            QMutexLocker lock(&m_pcap->m_tickMutex);
            m_pcap->m_tickPending = true;
            m_pcap->m_tick.wakeAll();
        }
    }
}

} // namespace orvane
