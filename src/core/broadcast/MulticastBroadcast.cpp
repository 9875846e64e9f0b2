#include "MulticastBroadcast.h"

#include "AudioPacket.h"
#include "AudioReader.h"
#include "LogFile.h"
#include "RtpMulticastSession.h"

#include <algorithm>
#include <cmath>

MulticastBroadcast::MulticastBroadcast() = default;

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
    if (!m_source || m_used)
        return -1;
    if (port < 1 || port > 65535)
        return -1;
    m_used = true;
    m_clockStarted = false;
    m_startTime = 0;
    m_sentDuration = 0.0;
    m_clockRate = ClockRate;
    m_sentPackets = 0;
    m_sentDurationShared = 0.0;

    // A source that cannot open would leave a broadcast that runs and sends nothing.
    if (!m_source->open())
        return -1;

    m_session = new RtpMulticastSession;
    m_session->setObserver(this);
    const int result = m_session->start(host.toUtf8().constData(), 0, uint16_t(port), int(m_clockRate),
                                        m_source->payloadType(), PacketIntervalMs);
    return result < 0 ? result : 0;
}

void MulticastBroadcast::stop()
{
    // The send thread may be inside a long read of a damaged file; it must
    // come back before the session can join it.
    if (m_source)
        m_source->interrupt();
    if (m_session) {
        m_session->stop();
        delete m_session;
        m_session = nullptr;
    }
    if (m_source) {
        m_source->close();
        delete m_source;
        m_source = nullptr;
    }
}

int MulticastBroadcast::idleWaitMs(RtpMulticastSession*)
{
    // A file's next frame is due at a known time; a live source's is not.
    if (!m_source || m_source->isRealTime() || !m_clockStarted)
        return 1;
    const int64_t wait = m_startTime + int64_t(m_sentDuration) - RtpMulticastSession::monotonicMs();
    return wait > 1 ? int(std::min<int64_t>(wait, RtpMulticastSession::MaxIdleSleepMs)) : 1;
}

bool MulticastBroadcast::onWantPacket(RtpMulticastSession*, uint32_t)
{
    const int64_t now = RtpMulticastSession::monotonicMs();
    AudioPacket* packet = nullptr;
    if (m_source->isRealTime()) {
        if (!m_clockStarted) {
            m_clockStarted = true;
            m_startTime = now;
        }
        packet = m_source->readPacket();
    } else {
        if (!m_clockStarted) {
            m_clockStarted = true;
            m_startTime = now;
        }
        if (m_startTime + int64_t(m_sentDuration) > now)
            return false;
        packet = m_source->readPacket();
    }
    if (!packet)
        return false;

    // A damaged file may report a negative, undefined or absurd duration; it
    // must not pull the schedule back or overflow the timestamp arithmetic.
    double duration = std::isfinite(packet->duration) && packet->duration > 0.0 ? packet->duration : 0.0;
    duration = std::min(duration, MaxPacketDurationMs);
    m_sentDuration += duration;
    const auto increment = uint32_t(int64_t(double(m_clockRate) * duration / 1000.0));
    if (!m_logged || now - m_lastLogTime >= LogIntervalMs) {
        VYLOG("duration = %.3lf, time = %lld, timestamp = %u\n", m_sentDuration,
              static_cast<long long>(now - m_startTime), increment);
        m_logged = true;
        m_lastLogTime = now;
    }
    if (m_session)
        m_session->sendPacket(packet->data(), packet->size(), increment);
    delete packet;
    m_sentPackets.fetch_add(1);
    m_sentDurationShared.store(m_sentDuration);
    return true;
}
