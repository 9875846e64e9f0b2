#include "CaptureReceiveThread.h"

#include "CaptureEngine.h"

#include <QDebug>
#include <QMutexLocker>
#include <pcap/pcap.h>

namespace orvane {

void CaptureReceiveThread::stop()
{
    WorkerThread::stop();
    if (m_pcap->m_handle)
        pcap_breakloop(m_pcap->m_handle);
}

void CaptureReceiveThread::run()
{
    pcap_t* handle = m_pcap->m_handle;
    qDebug("listening on %s...", m_pcap->m_adapter.description);
    // A stop that came before the loop started would otherwise be missed.
    if (isStopRequested())
        return;
    const int result = pcap_loop(handle, -1, &CaptureEngine::captureCallback, reinterpret_cast<unsigned char*>(m_pcap));
    if (result == PCAP_ERROR && !isStopRequested()) {
        // The interface went away or down: nothing would be received again
        // until a reopen, so ask the supervisor for one as after a send error.
        qDebug("capture ended: %s", pcap_geterr(handle));
        m_pcap->m_receiveError.store(true);
        QMutexLocker lock(&m_pcap->m_tickMutex);
        m_pcap->m_tickPending = true;
        m_pcap->m_tick.wakeAll();
    }
}

} // namespace orvane
