#include "CaptureThread.h"

#include "CaptureEngine.h"

namespace orvane {

void CaptureThread::stop()
{
    WorkerThread::stop();
    QMutexLocker lock(&m_pcap->m_tickMutex);
    m_pcap->m_tickPending = true;
    m_pcap->m_tick.wakeAll();
}

void CaptureThread::run()
{
    while (!isStopRequested()) {
        m_pcap->superviseStep();
        if (isStopRequested())
            break;
        m_pcap->sleepUntilNextTick();
    }
    m_pcap->close();
}

} // namespace orvane
