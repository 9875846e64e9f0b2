#include "AddressConflicts.h"

#include "AddressProbe.h"
#include "ProtocolClient.h"

namespace orvane {

AddressConflicts AddressConflicts::find(ProtocolClient& client, const QList<BatchRules::Planned>& plan,
                                        const QList<BatchRules::Holder>& listed)
{
    AddressConflicts found;
    for (const BatchRules::Planned& p : plan) {
        const QStringList lines = BatchRules::listedConflicts({p}, listed);
        if (!lines.isEmpty()) {
            found.lines += lines;
            found.devices << p.device;
        }
    }
    uint32_t own = 0;
    const QString ownAddress = client.adapterIp(&own) ? BatchRules::addressText(own) : QString();
    QList<uint32_t> addresses;
    for (const BatchRules::Planned& p : plan) {
        if (found.devices.contains(p.device))
            continue;
        if (!ownAddress.isEmpty() && p.value == ownAddress) {
            found.lines << QStringLiteral("%1 for %2 is this PC's own address").arg(p.value, p.device);
            found.devices << p.device;
            continue;
        }
        uint32_t a = 0;
        if (BatchRules::parseAddress(p.value, &a))
            addresses << a;
    }
    const auto holders = AddressProbe::probe(client, addresses);
    for (const BatchRules::Planned& p : plan) {
        uint32_t a = 0;
        if (found.devices.contains(p.device) || !BatchRules::parseAddress(p.value, &a))
            continue;
        QStringList others;
        for (const QString& mac : holders.value(a))
            if (mac != BatchRules::macKey(p.device))
                others << mac;
        if (others.isEmpty())
            continue;
        others.sort();
        found.lines << QStringLiteral("%1 for %2 answers on the network from %3")
                           .arg(p.value, p.device, others.join(QStringLiteral(", ")));
        found.devices << p.device;
    }
    return found;
}

} // namespace orvane
