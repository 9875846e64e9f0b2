#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <cstdint>

namespace orvane {

class ProtocolClient;

// Asks the adapter's segment who holds a set of IPv4 addresses, the way a host
// does before it takes an address: an ARP request from 0.0.0.0 for each, then
// one listening window for all of them, so that a hundred addresses cost one
// window rather than a hundred.
class AddressProbe
{
public:
    // Long enough for any host on a switched segment, short enough that a
    // batch is checked in well under a second.
    static constexpr int DefaultWindowMs = 250;

    // The MACs (lower case, no separators) that answered for each address
    // (host order); addresses nobody answered for are absent. Blocks the
    // calling thread for the window; nothing is sent when no adapter is open.
    static QMap<uint32_t, QSet<QString>> probe(ProtocolClient& client, const QList<uint32_t>& addresses,
                                               int windowMs = DefaultWindowMs);
};

} // namespace orvane
