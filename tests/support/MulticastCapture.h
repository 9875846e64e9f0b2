#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QVector>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace orvane {

// Datagrams sent to a multicast group, caught by plain UDP sockets joined to
// it: an RTP receiver that knows nothing of the sender's library. Open it on
// a thread inside the namespace under test; the sockets stay there.
class MulticastCapture
{
public:
    struct Datagram
    {
        int64_t arrivalNs = 0; // kernel receive time, CLOCK_REALTIME
        int ttl = -1;
        QByteArray bytes;
    };

    struct RtpHeader
    {
        bool valid = false, marker = false;
        int payloadType = -1;
        uint16_t sequence = 0;
        uint32_t timestamp = 0;
        uint32_t ssrc = 0;
        int headerLength = 0;
    };

    MulticastCapture() = default;
    ~MulticastCapture()
    {
        stop();
        for (int fd : m_fds)
            if (fd >= 0)
                ::close(fd);
    }
    Q_DISABLE_COPY(MulticastCapture)

    // Joins group on port (RTP) and port + 1 (RTCP) and starts listening.
    bool open(const QString& group, int port)
    {
        for (int i = 0; i < 2; ++i) {
            m_fds[i] = openSocket(group, port + i);
            if (m_fds[i] < 0)
                return false;
        }
        m_running = true;
        m_thread = std::thread([this] { loop(); });
        return true;
    }

    void stop()
    {
        m_running = false;
        if (m_thread.joinable())
            m_thread.join();
    }

    QVector<Datagram> rtp() const { return got(0); }
    QVector<Datagram> rtcp() const { return got(1); }
    // Whether an RTCP packet of the type (200 SR, 203 BYE, ...) arrived.
    bool sawRtcp(int type) const
    {
        const QVector<Datagram> got = rtcp();
        return std::any_of(got.begin(), got.end(),
                           [type](const Datagram& d) { return rtcpTypes(d.bytes).contains(type); });
    }
    // CPU time the listening thread used, known after stop().
    int64_t cpuNs() const { return m_cpuNs.load(); }
    int rtpCount() const { return rtp().size(); }

    template <typename Cond> static bool waitFor(Cond cond, int timeoutMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!cond()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    static RtpHeader parseRtp(const QByteArray& b)
    {
        RtpHeader h;
        if (b.size() < 12)
            return h;
        const auto* p = reinterpret_cast<const uint8_t*>(b.constData());
        const int csrc = p[0] & 0x0F;
        h.marker = (p[1] & 0x80) != 0;
        h.payloadType = p[1] & 0x7F;
        h.sequence = uint16_t(p[2] << 8 | p[3]);
        h.timestamp = uint32_t(p[4]) << 24 | uint32_t(p[5]) << 16 | uint32_t(p[6]) << 8 | p[7];
        h.ssrc = uint32_t(p[8]) << 24 | uint32_t(p[9]) << 16 | uint32_t(p[10]) << 8 | p[11];
        h.headerLength = 12 + 4 * csrc;
        h.valid = (p[0] >> 6) == 2 && b.size() >= h.headerLength;
        return h;
    }

    // Packet types of an RTCP compound packet (200 SR, 201 RR, 202 SDES, 203 BYE).
    static QVector<int> rtcpTypes(const QByteArray& b)
    {
        QVector<int> types;
        int at = 0;
        while (at + 4 <= b.size()) {
            const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + at;
            if ((p[0] >> 6) != 2)
                break;
            types.append(p[1]);
            at += 4 * ((p[2] << 8 | p[3]) + 1);
        }
        return types;
    }

private:
    QVector<Datagram> got(int i) const
    {
        QMutexLocker lock(&m_lock);
        return m_got[i];
    }
    static int openSocket(const QString& group, int port)
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
        const int buffer = 4 << 20;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        sockaddr_in a{AF_INET, htons(uint16_t(port)), {}, {}};
        const bool bound = inet_pton(AF_INET, group.toLatin1().constData(), &a.sin_addr) == 1 &&
                           ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        const ip_mreq m{a.sin_addr, {htonl(INADDR_ANY)}};
        if (bound && (!IN_MULTICAST(ntohl(a.sin_addr.s_addr)) ||
                      setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) == 0))
            return fd;
        ::close(fd);
        return -1;
    }

    void loop()
    {
        pollfd fds[2] = {{m_fds[0], POLLIN, 0}, {m_fds[1], POLLIN, 0}};
        char data[65536];
        char control[256];
        while (m_running) {
            if (::poll(fds, 2, 20) <= 0)
                continue;
            for (int i = 0; i < 2; ++i) {
                if (!(fds[i].revents & POLLIN))
                    continue;
                iovec iov{data, sizeof data};
                msghdr msg{nullptr, 0, &iov, 1, control, sizeof control, 0};
                const ssize_t n = ::recvmsg(m_fds[i], &msg, MSG_DONTWAIT);
                if (n < 0)
                    continue;
                Datagram d{0, -1, QByteArray(data, int(n))};
                for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                        timespec ts;
                        memcpy(&ts, CMSG_DATA(c), sizeof ts);
                        d.arrivalNs = int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
                    } else if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
                        memcpy(&d.ttl, CMSG_DATA(c), sizeof d.ttl);
                    }
                }
                QMutexLocker lock(&m_lock);
                m_got[i].append(d);
            }
        }
        timespec cpu{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        m_cpuNs = int64_t(cpu.tv_sec) * 1000000000 + cpu.tv_nsec;
    }

    int m_fds[2] = {-1, -1};
    std::atomic<bool> m_running{false};
    std::atomic<int64_t> m_cpuNs{0};
    std::thread m_thread;
    mutable QMutex m_lock; // guards m_got
    QVector<Datagram> m_got[2];
};

} // namespace orvane
