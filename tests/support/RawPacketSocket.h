#pragma once

#include <QByteArray>
#include <QString>

namespace orvane {

// A plain AF_PACKET socket on one interface: sends and receives whole
// Ethernet frames without libpcap, so it checks the capture engine
// independently. It belongs to the network namespace it was opened in.
class RawPacketSocket
{
public:
    RawPacketSocket() = default;
    ~RawPacketSocket();
    RawPacketSocket(const RawPacketSocket&) = delete;
    RawPacketSocket& operator=(const RawPacketSocket&) = delete;

    bool open(const QString& interfaceName);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    QByteArray mac() const { return m_mac; }
    // Returns false when the kernel refuses the frame.
    bool send(const QByteArray& frame);
    // The next incoming frame (outgoing ones are skipped), or empty after timeoutMs.
    QByteArray receive(int timeoutMs);
    QString lastError() const { return m_error; }

private:
    int m_fd = -1;
    int m_ifindex = 0;
    QByteArray m_mac;
    QString m_error;
};

} // namespace orvane
