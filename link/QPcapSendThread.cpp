#include "QPcapSendThread.h"

#include "QPcap.h"
#include "QPcapFrame.h"

#include <pcap/pcap.h>

void QPcapSendThread::stop()
{
    VyThread::stop();
    m_pcap->m_sendQueue.wake();
}

void QPcapSendThread::run()
{
    while (!isStopRequested()) {
        // Blocking on the queue instead of polling it every millisecond keeps an
        // idle engine off the processor and sends a new frame at once.
        const unsigned seen = m_pcap->m_sendQueue.wakeCount();
        if (isStopRequested())
            break;
        QPcapFrame* frame = m_pcap->m_sendQueue.waitPop(QPcap::RetryIntervalMs, seen);
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
