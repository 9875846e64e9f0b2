#include "AddressProbe.h"

#include "CommandFrame.h"
#include "ProtocolClient.h"
#include "RawFrame.h"

#include <QMutex>
#include <QThread>
#include <cstring>

namespace orvane {

namespace {

constexpr uint16_t ArpRequest = 1;
constexpr uint16_t ArpReply = 2;
constexpr int ArpFrameLength = 60; // the Ethernet minimum, padded with zeros

RawFrame* probeFrame(const uint8_t ownMac[6], uint32_t address)
{
    uint8_t bytes[ArpFrameLength] = {};
    memset(bytes, 0xff, 6);
    memcpy(bytes + 6, ownMac, 6);
    CommandFrame::writeBigEndian16(bytes + 12, CommandFrame::EtherTypeArp);
    CommandFrame::writeBigEndian16(bytes + 14, 1);      // Ethernet
    CommandFrame::writeBigEndian16(bytes + 16, 0x0800); // IPv4
    bytes[18] = 6;
    bytes[19] = 4;
    CommandFrame::writeBigEndian16(bytes + 20, ArpRequest);
    memcpy(bytes + 22, ownMac, 6);
    // Sender address 0.0.0.0 (bytes 28..31) and target MAC zero: a probe, which
    // no host takes as an announcement that would change its ARP cache.
    CommandFrame::writeBigEndian32(bytes + 38, address);
    return RawFrame::fromBytes(bytes, ArpFrameLength);
}

uint32_t readAddress(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

} // namespace

QMap<uint32_t, QSet<QString>> AddressProbe::probe(ProtocolClient& client, const QList<uint32_t>& addresses,
                                                    int windowMs)
{
    QMap<uint32_t, QSet<QString>> holders;
    uint8_t ownMac[6];
    if (addresses.isEmpty() || !client.adapterMac(ownMac))
        return holders;
    const QSet<uint32_t> wanted(addresses.begin(), addresses.end());
    QMutex lock; // guards holders against the receive thread
    client.setFrameListener([&](const RawFrame& frame) {
        const uint8_t* p = frame.bytes();
        if (frame.length() < 42 || CommandFrame::ethernet(frame).etherType != CommandFrame::EtherTypeArp)
            return;
        if (memcmp(p + 22, ownMac, 6) == 0 || CommandFrame::isCommandFrame(frame, nullptr))
            return;
        const uint16_t operation = uint16_t(p[20] << 8 | p[21]);
        const uint32_t sender = readAddress(p + 28);
        // A reply, or another host's own announcement of the address.
        if ((operation != ArpReply && operation != ArpRequest) || !wanted.contains(sender))
            return;
        const QString mac = QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p + 22), 6).toHex());
        QMutexLocker hold(&lock);
        holders[sender].insert(mac);
    });
    for (uint32_t address : addresses)
        client.sendFrame(probeFrame(ownMac, address));
    QThread::msleep(static_cast<unsigned long>(windowMs));
    client.setFrameListener(nullptr);
    QMutexLocker hold(&lock);
    return holders;
}

} // namespace orvane
