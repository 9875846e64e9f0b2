#pragma once

#include "EmulatedDevice.h"

#include <QList>
#include <QObject>
#include <QVector>
#include <functional>

class QSocketNotifier;

namespace orvane {

class EmulatedWebServer;

// Plays a set of devices on one interface: reads command frames from an
// AF_PACKET socket, lets the addressed devices answer and sends their replies,
// late ones from the event loop so that one slow device holds up no other.
class Emulator : public QObject
{
    Q_OBJECT
public:
    using FrameSink = std::function<void(const QByteArray& frame)>;
    using LineSink = std::function<void(const QByteArray& line)>;

    explicit Emulator(QObject* parent = nullptr);
    ~Emulator() override;

    void addDevice(const EmulatedDevice& device) { m_devices.append(device); }
    int deviceCount() const { return m_devices.size(); }
    const EmulatedDevice& device(int index) const { return m_devices.at(index); }

    // Opens the interface in promiscuous mode, since the devices' MACs are not the interface's own.
    bool open(const QString& interfaceName, QString* error);
    void close();
    // Replaces the socket as the way out (the tests catch the replies here).
    void setFrameSink(FrameSink sink) { m_frameSink = std::move(sink); }
    // Receives every log line without its line break; the default is none.
    void setLogSink(LineSink sink) { m_logSink = std::move(sink); }
    // Also log every reply that leaves.
    void setVerbose(bool verbose) { m_verbose = verbose; }

    void handleFrame(const QByteArray& frame);

    // Starts each device's web interface on its own IPv4 address. A device
    // whose address is not configured on this host is logged and skipped.
    // Returns the number of interfaces started.
    int startWeb(quint16 port);
    void stopWeb();

private:
    void readSocket();
    void send(const PlannedReply& reply, const MacAddress& toMac, const Ipv4Address& toIp);
    void log(const QByteArray& line);
    void note(const QString& text);

    QVector<EmulatedDevice> m_devices;
    QList<EmulatedWebServer*> m_webServers;
    int m_uploadsRunning = 0;
    int m_fd = -1;
    int m_ifindex = 0;
    QSocketNotifier* m_notifier = nullptr;
    FrameSink m_frameSink;
    LineSink m_logSink;
    bool m_verbose = false;
};

} // namespace orvane
