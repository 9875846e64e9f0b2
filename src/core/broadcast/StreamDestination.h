#pragma once

#include <QString>

namespace orvane {

// Text of the form address:port, split at the last colon so that an address
// holding colons stays whole. Every place that reads such a text splits it here.
struct EndpointText
{
    QString address; // all of the text when no colon follows its first character
    bool hasColon = false;
    int port = -1; // the decimal number after the colon when it lies in 0..65535, else -1

    static EndpointText split(const QString& text);
};

// Where a broadcast goes: an IPv4 address, normally a multicast group, and the
// RTP port; RTCP takes the port after it.
struct StreamDestination
{
    QString address;
    int port = 0;

    // Empty when text is GROUP:PORT with a dotted IPv4 address and a port from
    // 1 to 65534; otherwise the reason, in plain words.
    static QString parse(const QString& text, StreamDestination* destination);
    bool isMulticast() const;
    // RTP belongs on an even port with RTCP on the next; an odd one works but
    // receivers that derive the RTCP port may not find it.
    bool hasOddPort() const { return port % 2 != 0; }
    QString text() const { return QStringLiteral("%1:%2").arg(address).arg(port); }
};

// The local IPv4 address that packets to the destination leave from: the
// adapter's own when one is named, else the one the routing table picks.
// Empty when there is none.
QString sourceAddressFor(const StreamDestination& destination, const QString& interfaceName);

// The session description a receiver needs for the broadcast: origin is the
// sending host's address, ttl the multicast TTL.
QString sessionDescription(const StreamDestination& destination, const QString& origin, int ttl);

} // namespace orvane
