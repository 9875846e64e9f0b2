#include "MulticastBroadcast.h"

#include "AudioPacket.h"
#include "AudioReader.h"
#include "LogFile.h"
#include "RtpMulticastSession.h"

#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvane {

MulticastBroadcast::MulticastBroadcast() : m_ttl(RtpMulticastSession::MulticastTtl) {}

MulticastBroadcast::~MulticastBroadcast()
{
    MulticastBroadcast::stop();
}

void MulticastBroadcast::setReader(AudioReader* reader)
{
    if (reader == m_source)
        return;
    delete m_source;
    m_source = reader;
}

int MulticastBroadcast::start(const QString& host, int port)
{
    if (!m_source || m_used) {
        m_startError =
            m_used ? QStringLiteral("the broadcast already ran") : QStringLiteral("no audio source");
        return -1;
    }
    if (port < 1 || port > 65535) {
        m_startError = QStringLiteral("port %1 is not between 1 and 65535").arg(port);
        return -1;
    }
    m_used = true;
    m_clockStarted = false;
    m_startTime = 0;
    m_sentDuration = 0.0;
    m_clockRate = ClockRate;
    m_sentPackets = 0;
    m_sentDurationShared = 0.0;

    // A source that cannot open would leave a broadcast that runs and sends nothing.
    if (!m_source->open()) {
        m_startError = QStringLiteral("the audio source cannot be opened");
        return -1;
    }

    m_session = new RtpMulticastSession;
    m_session->setObserver(this);
    m_session->setMulticastInterface(m_interface);
    m_session->setTtl(m_ttl);
    const int result = m_session->start(host.toUtf8().constData(), 0, uint16_t(port), int(m_clockRate),
                                        m_source->payloadType(), PacketIntervalMs);
    if (result < 0)
        m_startError = m_session->startError();
    return result < 0 ? result : 0;
}

void MulticastBroadcast::stop()
{
    if (m_session && m_source && m_source->isRealTime() && !m_failed) {
        // The send thread hands out what the source still held before the session ends.
        m_drained = false;
        m_finishing = true;
        m_source->finishInput();
        const int64_t until = RtpMulticastSession::monotonicMs() + MaxDrainMs;
        while (!m_drained && !m_failed && RtpMulticastSession::monotonicMs() < until)
            QThread::msleep(2);
        QThread::msleep(ByeAfterDrainMs);
    }
    // The send thread may be inside a long read of a damaged file; it must
    // come back before the session can join it.
    if (m_source)
        m_source->interrupt();
    if (m_session) {
        m_session->stop();
        delete m_session;
        m_session = nullptr;
    }
    delete m_pending;
    m_pending = nullptr;
    if (m_source) {
        m_source->close();
        delete m_source;
        m_source = nullptr;
    }
}

int MulticastBroadcast::idleWaitMs(RtpMulticastSession*)
{
    // A file's next frame is due at a known time; a live source's is not.
    if (m_failed)
        return RtpMulticastSession::MaxIdleSleepMs;
    if (m_pending)
        return 5;
    if (!m_source || m_source->isRealTime() || !m_clockStarted)
        return 1;
    const int64_t wait = m_startTime + int64_t(m_sentDuration) - RtpMulticastSession::monotonicMs();
    return wait > 1 ? int(std::min<int64_t>(wait, RtpMulticastSession::MaxIdleSleepMs)) : 1;
}

QString MulticastBroadcast::failure() const
{
    QMutexLocker lock(&m_failureLock);
    return m_failure;
}

bool MulticastBroadcast::onWantPacket(RtpMulticastSession*, uint32_t)
{
    if (m_failed)
        return false;
    const int64_t now = RtpMulticastSession::monotonicMs();
    if (!m_clockStarted) {
        m_clockStarted = true;
        m_startTime = now;
    }
    if (!m_pending) {
        // A file is paced by the playing time sent so far; a live source's
        // packets go out as soon as they exist.
        if (!m_source->isRealTime() && m_startTime + int64_t(m_sentDuration) > now)
            return false;
        const bool finishing = m_finishing;
        m_pending = m_source->readPacket();
        if (!m_pending) {
            if (finishing)
                m_drained = true;
            return false;
        }
    }

    // A damaged file may report a negative, undefined or absurd duration; it
    // must not pull the schedule back or overflow the timestamp arithmetic.
    double duration =
        std::isfinite(m_pending->duration) && m_pending->duration > 0.0 ? m_pending->duration : 0.0;
    duration = std::min(duration, MaxPacketDurationMs);
    const auto increment = uint32_t(int64_t(double(m_clockRate) * duration / 1000.0));
    const int error = m_session ? m_session->sendPacket(m_pending->data(), m_pending->size(), increment) : 0;
    if (error != 0) {
        // Kept for the next call: what a receiver is told was sent is what left the socket.
        if (++m_attempts < MaxSendAttempts)
            return false;
        const QString cause = QString::fromLocal8Bit(strerror(error));
        ORVANE_LOG("rtp send failed %d times: %s\n", m_attempts, qPrintable(cause));
        {
            QMutexLocker lock(&m_failureLock);
            m_failure = cause;
        }
        m_failed = true;
        if (m_failureHandler)
            m_failureHandler(cause);
        return false;
    }
    m_attempts = 0;
    delete m_pending;
    m_pending = nullptr;
    m_sentDuration += duration;
    if (!m_logged || now - m_lastLogTime >= LogIntervalMs) {
        ORVANE_LOG("duration = %.3lf, time = %lld, timestamp = %u\n", m_sentDuration,
              static_cast<long long>(now - m_startTime), increment);
        m_logged = true;
        m_lastLogTime = now;
    }
    m_sentPackets.fetch_add(1);
    m_sentDurationShared.store(m_sentDuration);
    return true;
}

} // namespace orvane
