#include "RtpMulticastSession.h"

#include <poll.h>

#include "LogFile.h"
#include "RtpReceiveThread.h"
#include "RtpSendThread.h"
#include "RtpSessionObserver.h"

#include <QRandomGenerator>
#include <QSysInfo>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ortp/ortp.h>

namespace orvane {

namespace {

const char AnyAddress[] = "0.0.0.0";
const int RtcpPortOffset = 1; // RTCP travels on the port after the RTP one

void initOrtpOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        ortp_init();
        // oRTP's own chatter would drown the log; send errors reach the operator through the driver.
        // Included here, ORTP_LOG_DOMAIN names bctoolbox's domain, not the library's.
        ortp_set_log_level_mask("ortp", ORTP_FATAL);
    });
}

int64_t wallMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// A session bound to port (RTP) and port + 1 (RTCP) on every local address,
// or null. Ports are not shared: another socket on them makes binding fail.
RtpSession* bindSession(int port)
{
    RtpSession* s = rtp_session_new(RTP_SESSION_SENDRECV);
    if (!s)
        return nullptr;
    rtp_session_set_scheduling_mode(s, 0);
    rtp_session_set_blocking_mode(s, 0);
    rtp_session_set_reuseaddr(s, FALSE);
    if (rtp_session_set_local_addr(s, AnyAddress, port, port + 1) < 0) {
        rtp_session_destroy(s);
        return nullptr;
    }
    return s;
}

} // namespace

RtpMulticastSession::RtpMulticastSession() = default;

RtpMulticastSession::~RtpMulticastSession()
{
    // Threads that outlived their owner would call into freed memory.
    stop();
}

int64_t RtpMulticastSession::monotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool RtpMulticastSession::isPortValid(int port)
{
    initOrtpOnce();
    const int64_t begin = wallMs();
    bool valid = false;
    if (port > 0 && port < 65535) {
        RtpSession* s = bindSession(port);
        ORVANE_LOG("Create cost = %lld\n", static_cast<long long>(wallMs() - begin));
        if (s) {
            valid = true;
            rtp_session_destroy(s);
            ORVANE_LOG("Destroy cost = %lld\n", static_cast<long long>(wallMs() - begin));
        }
    }
    ORVANE_LOG("%d port is %s, cost %lld\n", port, valid ? "valid" : "invalid",
          static_cast<long long>(wallMs() - begin));
    return valid;
}

int RtpMulticastSession::start(const char* host, int portBase, uint16_t destinationPort, int clockRate,
                               int payloadType, int intervalMs)
{
    if (m_started)
        return -1;
    m_started = true;
    initOrtpOnce();

    // inet_addr would turn a mistyped address into 255.255.255.255 and send there.
    in_addr destination{};
    if (!host || inet_pton(AF_INET, host, &destination) != 1) {
        m_startError = QStringLiteral("%1 is not an IPv4 address").arg(QString::fromUtf8(host ? host : ""));
        ORVANE_LOG("rtp destination %s is not an IPv4 address\n", host ? host : "(null)");
        return -1;
    }
    if (m_ttl < 1 || m_ttl > 255) {
        m_startError = QStringLiteral("the TTL %1 is not between 1 and 255").arg(m_ttl);
        return -1;
    }
    if (clockRate <= 0 || payloadType < 0 || payloadType > 127 || destinationPort == 0 ||
        destinationPort == 65535) {
        ORVANE_LOG("rtp session arguments refused: clock %d, payload type %d, port %u\n", clockRate, payloadType,
              unsigned(destinationPort));
        return -1;
    }
    m_clockRate = clockRate;
    m_payloadType = payloadType;

    int port = portBase;
    if (port < 1) {
        port = 0;
        for (int candidate = FirstProbePort; candidate < ProbePortEnd; candidate += 2) {
            if (isPortValid(candidate)) {
                port = candidate;
                break;
            }
        }
        if (port == 0) {
            m_startError = QStringLiteral("no free local port pair");
            return -1;
        }
    }

    m_interval = intervalMs >= 1 ? intervalMs : DefaultIntervalMs;
    m_defaultIncrement = uint32_t(int64_t(m_interval) * clockRate / 1000);

    {
        QMutexLocker lock(&m_rtpLock);
        m_rtp = bindSession(port);
        if (!m_rtp) {
            m_startError = QStringLiteral("local port %1 is in use").arg(port);
            ORVANE_LOG("rtp session create %d\n", -1);
            return -1;
        }
        m_localPort = port;

        // The payload type needs an entry with its clock in the session's profile.
        m_profile = rtp_profile_new("orvane");
        char mime[] = "MPA";
        PayloadType model{};
        model.type = PAYLOAD_AUDIO_PACKETIZED;
        model.clock_rate = clockRate;
        model.mime_type = mime;
        model.channels = 1;
        rtp_profile_set_payload(m_profile, payloadType, payload_type_clone(&model));
        rtp_session_set_profile(m_rtp, m_profile);
        if (rtp_session_set_payload_type(m_rtp, payloadType) < 0) {
            ORVANE_LOG("rtp session create %d\n", -2);
            destroyLocked();
            return -1;
        }
        rtp_session_enable_jitter_buffer(m_rtp, FALSE);
        rtp_session_set_symmetric_rtp(m_rtp, FALSE);
        rtp_session_set_multicast_ttl(m_rtp, m_ttl);
        // Accept own packets: a receiver on this host hears the group too.
        rtp_session_set_multicast_loopback(m_rtp, 1);
        const int rtcpPort = destinationPort + RtcpPortOffset;
        if (rtp_session_set_remote_addr_full(m_rtp, host, destinationPort, host, rtcpPort) < 0) {
            m_startError =
                QStringLiteral("cannot address %1:%2").arg(QString::fromUtf8(host)).arg(destinationPort);
            ORVANE_LOG("rtp session create %d\n", -3);
            destroyLocked();
            return -1;
        }
        if (!applyInterfaceLocked()) {
            destroyLocked();
            return -1;
        }
        // Without its own CNAME every sender would report the library's
        // default, and receivers could not tell two of them apart.
        const QByteArray cname = (m_cname.isEmpty() ? defaultCanonicalName() : m_cname).toUtf8();
        rtp_session_set_source_description(m_rtp, cname.constData(), nullptr, nullptr, nullptr, nullptr,
                                           "orvane", nullptr);
        // Random starting points, as RTP asks, so that a receiver tells a new stream from an old one.
        m_timestamp = QRandomGenerator::global()->generate();
        rtp_session_set_seq_number(m_rtp, uint16_t(QRandomGenerator::global()->generate()));
    }
    if (IN_MULTICAST(ntohl(destination.s_addr)))
        ORVANE_LOG("support multicasting\n");

    m_sendThread = new RtpSendThread(this);
    m_sendThread->start();
    m_recvThread = new RtpReceiveThread(this);
    m_recvThread->start();
    return 0;
}

QString RtpMulticastSession::defaultCanonicalName()
{
    QString user = QString::fromLocal8Bit(qgetenv("USER"));
    if (const passwd* pw = getpwuid(geteuid()))
        user = QString::fromLocal8Bit(pw->pw_name);
    if (user.isEmpty())
        user = QStringLiteral("orvane");
    return user + QLatin1Char('@') + QSysInfo::machineHostName();
}

bool RtpMulticastSession::applyInterfaceLocked()
{
    if (m_interface.isEmpty())
        return true;
    ip_mreqn request{};
    request.imr_ifindex = int(if_nametoindex(m_interface.toLocal8Bit().constData()));
    if (request.imr_ifindex == 0) {
        m_startError = QStringLiteral("no network adapter named %1").arg(m_interface);
        return false;
    }
    for (const int fd : {int(rtp_session_get_rtp_socket(m_rtp)), int(rtp_session_get_rtcp_socket(m_rtp))}) {
        if (fd >= 0 && setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &request, sizeof request) != 0) {
            m_startError = QStringLiteral("cannot send on %1: %2")
                               .arg(m_interface, QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
    }
    return true;
}

int RtpMulticastSession::sendPacket(const uint8_t* payload, int length, uint32_t timestampIncrement)
{
    QMutexLocker lock(&m_rtpLock);
    if (!m_rtp)
        return ENOTCONN;
    const uint16_t sequence = rtp_session_get_seq_number(m_rtp);
    int error = 0;
    const bool whole = forEachPiece(payload, length, [&](const uint8_t* bytes, int n, bool last) {
        error = sendPieceLocked(bytes, n, last);
        return error == 0;
    });
    if (!whole && error == 0)
        error = EMSGSIZE;
    if (error != 0) {
        rtp_session_set_seq_number(m_rtp, sequence);
        return error;
    }
    m_timestamp += timestampIncrement;
    return 0;
}

int RtpMulticastSession::sendPieceLocked(const uint8_t* bytes, int length, bool last)
{
    mblk_t* m = rtp_session_create_packet(m_rtp, RTP_FIXED_HEADER_SIZE, bytes, size_t(length));
    if (!m)
        return ENOMEM;
    rtp_set_markbit(m, last ? 1 : 0);
    rtp_session_clear_send_error_code(m_rtp);
    if (rtp_session_sendm_with_ts(m_rtp, m, m_timestamp) >= 0)
        return 0;
    const int error = rtp_session_get_last_send_error_code(m_rtp);
    return error > 0 ? error : EIO;
}

void RtpMulticastSession::stop()
{
    WorkerThread::release(m_recvThread);
    WorkerThread::release(m_sendThread);
    QMutexLocker lock(&m_rtpLock);
    if (m_rtp) {
        // The BYE goes to the destination before the session forgets it.
        rtp_session_bye(m_rtp, nullptr);
    }
    destroyLocked();
}

void RtpMulticastSession::destroyLocked()
{
    if (m_rtp) {
        rtp_session_destroy(m_rtp);
        m_rtp = nullptr;
    }
    if (m_profile) {
        rtp_profile_destroy(m_profile);
        m_profile = nullptr;
    }
}

void RtpMulticastSession::runSendLoop(WorkerThread* self)
{
    uint32_t sent = 0;
    uint32_t elapsed = 0;
    int64_t due = 0;
    int64_t first = 0;
    while (!WorkerThread::shouldStop(self)) {
        const int64_t now = monotonicMs();
        RtpSessionObserver* observer = m_observer;
        if (now >= due && observer && observer->onWantPacket(this, elapsed)) {
            if (sent == 0)
                first = now;
            ++sent;
            elapsed += uint32_t(m_interval);
            due = first + int64_t(m_interval) * sent;
            continue;
        }
        // Sleep until the session's own schedule or the observer's next packet
        // is due, but never so long that a stop waits noticeably.
        int64_t wait = now < due ? due - now : 1;
        if (observer && now >= due)
            wait = observer->idleWaitMs(this);
        WorkerThread::msleep(static_cast<unsigned long>(qBound<int64_t>(1, wait, MaxIdleSleepMs)));
    }
}

void RtpMulticastSession::runReceiveLoop(WorkerThread* self)
{
    int64_t lastActivity = monotonicMs();
    uint32_t userTs = 0;
    while (!WorkerThread::shouldStop(self)) {
        mblk_t* held[MaxPacketsPerPass];
        int count = 0;
        {
            QMutexLocker lock(&m_rtpLock);
            while (m_rtp && count < MaxPacketsPerPass) {
                mblk_t* m = rtp_session_recvm_with_ts(m_rtp, userTs);
                if (!m)
                    break;
                msgpullup(m, size_t(-1));
                held[count++] = m;
            }
            userTs += uint32_t(m_defaultIncrement);
        }
        if (count > 0) {
            RtpSessionObserver* observer = m_observer;
            for (int i = 0; i < count; ++i) {
                mblk_t* m = held[i];
                if (observer) {
                    unsigned char* payload = nullptr;
                    const int payloadLength = rtp_get_payload(m, &payload);
                    observer->onPacket(this, m->b_rptr, int(m->b_wptr - m->b_rptr), payload, payloadLength,
                                       rtp_get_timestamp(m));
                }
                freemsg(m);
            }
            lastActivity = monotonicMs();
            continue;
        }
        const int timeout = m_receiveTimeout.load();
        const int64_t now = monotonicMs();
        if (timeout > 0 && now - lastActivity > timeout) {
            if (RtpSessionObserver* observer = m_observer)
                observer->onTimeout(this);
            lastActivity = now;
        } else {
            // Block on the sockets instead of waking every millisecond; the
            // bounded wait keeps a stop and the receive timeout prompt.
            int wait = MaxIdleSleepMs;
            if (timeout > 0)
                wait = int(qBound<int64_t>(1, timeout - (now - lastActivity), MaxIdleSleepMs));
            waitForData(wait);
        }
    }
}

void RtpMulticastSession::waitForData(int timeoutMs)
{
    pollfd fds[2];
    nfds_t count = 0;
    {
        QMutexLocker lock(&m_rtpLock);
        if (m_rtp) {
            for (const int fd :
                 {int(rtp_session_get_rtp_socket(m_rtp)), int(rtp_session_get_rtcp_socket(m_rtp))}) {
                if (fd >= 0)
                    fds[count++] = pollfd{fd, POLLIN, 0};
            }
        }
    }
    if (count == 0) {
        WorkerThread::msleep(static_cast<unsigned long>(timeoutMs));
        return;
    }
    ::poll(fds, count, timeoutMs);
}

} // namespace orvane
