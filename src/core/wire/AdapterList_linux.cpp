// The adapter list on Linux: capture names from libpcap, addresses from
// getifaddrs, the gateway from the interface's default route.
#include "AdapterList.h"

#include <QFile>
#include <QMap>
#include <QSet>
#include <QTextStream>
#include <cstring>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <pcap/pcap.h>

namespace orvane {

namespace {

struct InterfaceAddresses
{
    bool ethernet = false;
    bool loopback = false;
    uint8_t mac[6] = {};
    bool hasIpv4 = false;
    uint8_t ip[4] = {};
    uint8_t mask[4] = {};
};

QMap<QByteArray, InterfaceAddresses> readInterfaces()
{
    QMap<QByteArray, InterfaceAddresses> result;
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0)
        return result;
    for (ifaddrs* a = all; a; a = a->ifa_next) {
        if (!a->ifa_name)
            continue;
        InterfaceAddresses& entry = result[QByteArray(a->ifa_name)];
        if (a->ifa_flags & IFF_LOOPBACK)
            entry.loopback = true;
        if (!a->ifa_addr)
            continue;
        if (a->ifa_addr->sa_family == AF_PACKET) {
            const sockaddr_ll* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
            if (ll->sll_hatype == ARPHRD_ETHER && ll->sll_halen == 6) {
                entry.ethernet = true;
                memcpy(entry.mac, ll->sll_addr, 6);
            }
        } else if (a->ifa_addr->sa_family == AF_INET && !entry.hasIpv4) {
            entry.hasIpv4 = true;
            memcpy(entry.ip, &reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr, 4);
            if (a->ifa_netmask)
                memcpy(entry.mask, &reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr, 4);
        }
    }
    freeifaddrs(all);
    return result;
}

// Default gateways by interface, read from the routing table of the calling
// thread's network namespace.
QMap<QByteArray, QByteArray> readGateways()
{
    QMap<QByteArray, QByteArray> gateways;
    QFile file(QStringLiteral("/proc/thread-self/net/route"));
    if (!file.open(QIODevice::ReadOnly))
        return gateways;
    file.readLine(); // column titles
    while (!file.atEnd()) {
        const QList<QByteArray> f = file.readLine().simplified().split(' ');
        if (f.size() < 3 || f.at(1) != "00000000" || gateways.contains(f.at(0)))
            continue;
        bool ok = false;
        const quint32 raw = f.at(2).toUInt(&ok, 16);
        if (!ok || raw == 0)
            continue;
        // The table prints the address as a host-order number of network-order bytes.
        QByteArray bytes(4, '\0');
        memcpy(bytes.data(), &raw, 4);
        gateways.insert(f.at(0), bytes);
    }
    return gateways;
}

} // namespace

std::unique_ptr<AdapterList> AdapterList::listAdapters()
{
    std::unique_ptr<AdapterList> list(new AdapterList);
    char error[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t* devices = nullptr;
    if (pcap_findalldevs(&devices, error) < 0)
        return list;
    const QMap<QByteArray, InterfaceAddresses> interfaces = readInterfaces();
    const QMap<QByteArray, QByteArray> gateways = readGateways();
    QSet<QByteArray> seen;
    for (pcap_if_t* d = devices; d; d = d->next) {
        const QByteArray name(d->name);
        // Only Ethernet interfaces carry command frames; "any", loopback and
        // the monitor pseudo-devices have no Ethernet hardware address.
        auto it = interfaces.constFind(name);
        if (it == interfaces.constEnd() || !it->ethernet || it->loopback || seen.contains(name))
            continue;
        seen.insert(name);
        std::unique_ptr<Adapter> adapter(new Adapter);
        Adapter::setText(adapter->pcapName, d->name);
        Adapter::setText(adapter->description, d->description && *d->description ? d->description : d->name);
        memcpy(adapter->address, it->mac, 6);
        if (it->hasIpv4) {
            memcpy(adapter->ip, it->ip, 4);
            memcpy(adapter->mask, it->mask, 4);
        }
        const QByteArray gateway = gateways.value(name);
        if (gateway.size() == 4)
            memcpy(adapter->gateway, gateway.constData(), 4);
        list->append(std::move(adapter));
    }
    pcap_freealldevs(devices);
    return list;
}

} // namespace orvane
