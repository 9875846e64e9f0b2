#include "StreamDestination.h"

#include "FileAudioReader.h"
#include "MulticastBroadcast.h"

#include <QDateTime>
#include <QSysInfo>
#include <QTextStream>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvane {

EndpointText EndpointText::split(const QString& text)
{
    EndpointText e;
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) {
        e.address = text;
        return e;
    }
    e.hasColon = true;
    e.address = text.left(colon);
    bool ok = false;
    const int port = text.mid(colon + 1).toInt(&ok, 10);
    e.port = ok && port >= 0 && port <= 65535 ? port : -1;
    return e;
}

QString StreamDestination::parse(const QString& text, StreamDestination* destination)
{
    const EndpointText e = EndpointText::split(text.trimmed());
    if (!e.hasColon)
        return QStringLiteral("\"%1\" needs a port after the address, as in 239.255.0.1:5004").arg(text);
    in_addr parsed{};
    if (inet_pton(AF_INET, e.address.toUtf8().constData(), &parsed) != 1)
        return QStringLiteral("\"%1\" is not an IPv4 address").arg(e.address);
    if (e.port < 1 || e.port > 65534)
        return QStringLiteral("the port must lie between 1 and 65534");
    destination->address = e.address;
    destination->port = e.port;
    return QString();
}

bool StreamDestination::isMulticast() const
{
    in_addr a{};
    return inet_pton(AF_INET, address.toUtf8().constData(), &a) == 1 && IN_MULTICAST(ntohl(a.s_addr));
}

QString sourceAddressFor(const StreamDestination& destination, const QString& interfaceName)
{
    char text[INET_ADDRSTRLEN] = {};
    if (!interfaceName.isEmpty()) {
        ifaddrs* list = nullptr;
        if (getifaddrs(&list) != 0)
            return QString();
        QString found;
        for (ifaddrs* i = list; i && found.isEmpty(); i = i->ifa_next) {
            if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET &&
                interfaceName == QLatin1String(i->ifa_name) &&
                inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, text, sizeof text))
                found = QString::fromLatin1(text);
        }
        freeifaddrs(list);
        return found;
    }
    // Connecting a datagram socket sends nothing; it only asks the routing table.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return QString();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(destination.port));
    QString found;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (inet_pton(AF_INET, destination.address.toUtf8().constData(), &to.sin_addr) == 1 &&
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
        local.sin_addr.s_addr != htonl(INADDR_ANY) && inet_ntop(AF_INET, &local.sin_addr, text, sizeof text))
        found = QString::fromLatin1(text);
    ::close(fd);
    return found;
}

QString sessionDescription(const StreamDestination& destination, const QString& origin, int ttl)
{
    const QString connection = destination.isMulticast()
                                   ? QStringLiteral("%1/%2").arg(destination.address).arg(ttl)
                                   : destination.address;
    // Without a route there is no local address; the host's name still tells a reader who sent it.
    const QString host = origin.isEmpty() ? QSysInfo::machineHostName() : origin;
    QString sdp;
    QTextStream s(&sdp);
    s << "v=0\r\n"
      << "o=- " << QDateTime::currentSecsSinceEpoch() << " 1 IN IP4 " << host << "\r\n"
      << "s=Orvane broadcast\r\n"
      << "c=IN IP4 " << connection << "\r\n"
      << "t=0 0\r\n"
      << "m=audio " << destination.port << " RTP/AVP " << FileAudioReader::PayloadType << "\r\n"
      << "a=rtpmap:" << FileAudioReader::PayloadType << " MPA/" << MulticastBroadcast::ClockRate << "\r\n";
    s.flush();
    return sdp;
}

} // namespace orvane
