#include "RawPacketSocket.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvane {

RawPacketSocket::~RawPacketSocket()
{
    close();
}

bool RawPacketSocket::open(const QString& interfaceName)
{
    close();
    ifreq ifr{};
    strncpy(ifr.ifr_name, interfaceName.toLocal8Bit().constData(), IFNAMSIZ - 1);
    sockaddr_ll addr{};
    addr.sll_family = AF_PACKET;
    addr.sll_protocol = htons(ETH_P_ALL);
    m_fd = ::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ALL));
    if (m_fd >= 0 && ioctl(m_fd, SIOCGIFINDEX, &ifr) == 0) {
        m_ifindex = addr.sll_ifindex = ifr.ifr_ifindex;
        if (ioctl(m_fd, SIOCGIFHWADDR, &ifr) == 0)
            m_mac = QByteArray(ifr.ifr_hwaddr.sa_data, 6);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
            return true;
    }
    m_error = QString::fromLocal8Bit(strerror(errno));
    close();
    return false;
}

void RawPacketSocket::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool RawPacketSocket::send(const QByteArray& frame)
{
    if (m_fd < 0)
        return false;
    sockaddr_ll addr{};
    addr.sll_family = AF_PACKET;
    addr.sll_ifindex = m_ifindex;
    addr.sll_halen = 6;
    memcpy(addr.sll_addr, frame.constData(), frame.size() >= 6 ? 6 : 0);
    const ssize_t n = ::sendto(m_fd, frame.constData(), static_cast<size_t>(frame.size()), 0,
                               reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    if (n != frame.size()) {
        m_error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    return true;
}

QByteArray RawPacketSocket::receive(int timeoutMs)
{
    if (m_fd < 0)
        return QByteArray();
    QElapsedTimer timer;
    timer.start();
    char buffer[65536];
    for (;;) {
        const int left = timeoutMs < 0 ? -1 : int(qMax<qint64>(0, timeoutMs - timer.elapsed()));
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, left);
        if (ready <= 0)
            return QByteArray();
        sockaddr_ll from;
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0)
            return QByteArray();
        if (from.sll_pkttype == PACKET_OUTGOING)
            continue;
        return QByteArray(buffer, static_cast<int>(n));
    }
}

} // namespace orvane
