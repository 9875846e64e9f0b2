#include "Emulator.h"

#include "EmulatedWebServer.h"

#include <QDateTime>
#include <QMap>
#include <QSocketNotifier>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/filter.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvane {

namespace {

QByteArray now()
{
    return QByteArray::number(QDateTime::currentMSecsSinceEpoch());
}

// One command per line even when the text is formatted JSON: valid JSON
// holds control characters only as blanks between tokens.
QByteArray oneLine(QByteArray text)
{
    for (char& c : text) {
        if (uchar(c) < 0x20)
            c = ' ';
    }
    return text;
}

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

Emulator::Emulator(QObject* parent) : QObject(parent) {}

Emulator::~Emulator()
{
    stopWeb();
    close();
}

int Emulator::startWeb(quint16 port)
{
    stopWeb();
    for (int i = 0; i < m_devices.size(); ++i) {
        const DeviceState& state = m_devices.at(i).state();
        const QString mac = EmulatorFrames::macToText(state.mac);
        if (m_devices.at(i).misbehaviour().webOff) {
            note(QStringLiteral("web interface of %1 is off").arg(mac));
            continue;
        }
        EmulatedWebHooks hooks;
        hooks.note = [this](const QString& text) { note(text); };
        hooks.credentials = [this, i] {
            const DeviceState& s = m_devices.at(i).state();
            return qMakePair(s.account, s.password);
        };
        hooks.uploadStarted = [this] { return ++m_uploadsRunning; };
        hooks.uploadEnded = [this] { --m_uploadsRunning; };
        auto* server = new EmulatedWebServer(mac, m_devices.at(i).misbehaviour(), std::move(hooks), this);
        const QHostAddress address((quint32(state.address[0]) << 24) | (quint32(state.address[1]) << 16) |
                                   (quint32(state.address[2]) << 8) | state.address[3]);
        QString error;
        if (!server->listen(address, port, &error)) {
            note(QStringLiteral("web interface of %1 not started on %2:%3: %4")
                     .arg(mac, address.toString())
                     .arg(port)
                     .arg(error));
            delete server;
            continue;
        }
        m_webServers.append(server);
    }
    return m_webServers.size();
}

void Emulator::stopWeb()
{
    qDeleteAll(m_webServers);
    m_webServers.clear();
}

bool Emulator::open(const QString& interfaceName, QString* error)
{
    close();
    m_fd = ::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, htons(ETH_P_ALL));
    if (m_fd < 0) {
        *error = systemError("socket(AF_PACKET)");
        return false;
    }
    const QByteArray name = interfaceName.toLocal8Bit();
    m_ifindex = int(if_nametoindex(name.constData()));
    if (m_ifindex == 0) {
        *error = systemError(qPrintable(QStringLiteral("interface %1").arg(interfaceName)));
        close();
        return false;
    }
    sockaddr_ll address;
    memset(&address, 0, sizeof address);
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(ETH_P_ALL);
    address.sll_ifindex = m_ifindex;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        *error = systemError("bind");
        close();
        return false;
    }
    // Only ARP frames can be commands; the web interfaces' TCP traffic (a
    // firmware image per device) would otherwise all be copied up here too.
    sock_filter arpOnly[] = {
        {0x28, 0, 0, 12},         // ldh [12]: the Ethernet type
        {0x15, 0, 1, 0x0806},     // jeq ARP
        {0x06, 0, 0, 0x00040000}, // ret: keep
        {0x06, 0, 0, 0},          // ret: drop
    };
    sock_fprog program = {sizeof arpOnly / sizeof *arpOnly, arpOnly};
    if (setsockopt(m_fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) < 0) {
        *error = systemError("socket filter");
        close();
        return false;
    }
    packet_mreq membership;
    memset(&membership, 0, sizeof membership);
    membership.mr_ifindex = m_ifindex;
    membership.mr_type = PACKET_MR_PROMISC;
    if (setsockopt(m_fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &membership, sizeof membership) < 0) {
        *error = systemError("promiscuous mode");
        close();
        return false;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &Emulator::readSocket);
    m_frameSink = [this](const QByteArray& frame) {
        sockaddr_ll to;
        memset(&to, 0, sizeof to);
        to.sll_family = AF_PACKET;
        to.sll_ifindex = m_ifindex;
        to.sll_halen = 6;
        memcpy(to.sll_addr, frame.constData(), 6);
        if (::sendto(m_fd, frame.constData(), size_t(frame.size()), 0, reinterpret_cast<sockaddr*>(&to),
                     sizeof to) != frame.size())
            note(systemError("send"));
    };
    return true;
}

void Emulator::close()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0) {
        ::close(m_fd);
        m_frameSink = nullptr;
    }
    m_fd = -1;
}

void Emulator::readSocket()
{
    char buffer[65536];
    for (;;) {
        sockaddr_ll from;
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                note(systemError("receive"));
            return;
        }
        // The socket also sees the devices' own replies on their way out.
        if (from.sll_pkttype == PACKET_OUTGOING)
            continue;
        handleFrame(QByteArray(buffer, int(n)));
    }
}

void Emulator::handleFrame(const QByteArray& bytes)
{
    EmulatorFrames::Frame frame;
    QString problem;
    switch (EmulatorFrames::parse(bytes, &frame, &problem)) {
    case EmulatorFrames::ParseResult::NotCommandFrame:
        return;
    case EmulatorFrames::ParseResult::Malformed: {
        MacAddress source;
        memcpy(source.data(), bytes.constData() + 6, source.size());
        note(QStringLiteral("bad command frame from %1 ignored: %2")
                 .arg(EmulatorFrames::macToText(source), problem));
        return;
    }
    case EmulatorFrames::ParseResult::CommandFrame:
        break;
    }
    for (const EmulatedDevice& device : qAsConst(m_devices)) {
        // A reply from one of our own devices that another path brought back.
        if (device.mac() == frame.senderMac)
            return;
    }

    log(now() + ' ' + EmulatorFrames::macToText(frame.ethernetDestination).toLatin1() + ' ' +
        oneLine(frame.text));
    // Devices go by either field and answer the ARP sender, so a sender that
    // fills them inconsistently still gets through; the log shows the fault.
    if (frame.senderMac != frame.ethernetSource)
        note(QStringLiteral("ARP sender %1 differs from the Ethernet source %2")
                 .arg(EmulatorFrames::macToText(frame.senderMac),
                      EmulatorFrames::macToText(frame.ethernetSource)));
    if (frame.targetMac != frame.ethernetDestination)
        note(QStringLiteral("ARP target %1 differs from the Ethernet destination %2")
                 .arg(EmulatorFrames::macToText(frame.targetMac),
                      EmulatorFrames::macToText(frame.ethernetDestination)));

    const bool broadcast = frame.ethernetDestination == EmulatorFrames::BroadcastMac;
    bool anyone = false;
    QMap<QString, QStringList> ignored; // reason -> MACs of the devices that gave it
    for (EmulatedDevice& device : m_devices) {
        const MacAddress mac = device.mac();
        const bool addressed = mac == frame.ethernetDestination || mac == frame.targetMac;
        if (!addressed && !broadcast)
            continue;
        anyone = true;
        const CommandOutcome outcome = device.handle(frame.text, !addressed);
        if (!outcome.ignored.isEmpty())
            ignored[outcome.ignored].append(EmulatorFrames::macToText(mac));
        for (const PlannedReply& reply : outcome.replies)
            send(reply, frame.senderMac, frame.senderIp);
    }
    if (!anyone)
        note(QStringLiteral("no device at %1").arg(EmulatorFrames::macToText(frame.ethernetDestination)));
    // One line per reason: a broken text or a broadcast is ignored by every device alike.
    for (auto it = ignored.cbegin(); it != ignored.cend(); ++it)
        note(QStringLiteral("ignored (%1) by %2").arg(it.key(), it.value().join(QLatin1Char(' '))));
}

void Emulator::send(const PlannedReply& reply, const MacAddress& toMac, const Ipv4Address& toIp)
{
    if (reply.text.size() > EmulatorFrames::MaxTextLength) {
        note(QStringLiteral("reply of %1 bytes from %2 does not fit a frame; not sent")
                 .arg(reply.text.size())
                 .arg(EmulatorFrames::macToText(reply.sourceMac)));
        return;
    }
    const QByteArray frame = EmulatorFrames::build(reply.sourceMac, reply.sourceIp, toMac, toIp, reply.text);
    auto deliver = [this, frame, reply] {
        if (m_verbose)
            note(
                QStringLiteral("reply from %1: %2")
                    .arg(EmulatorFrames::macToText(reply.sourceMac), QString::fromUtf8(oneLine(reply.text))));
        if (m_frameSink)
            m_frameSink(frame);
    };
    if (reply.delayMs > 0)
        QTimer::singleShot(reply.delayMs, Qt::PreciseTimer, this, deliver);
    else
        deliver();
}

void Emulator::log(const QByteArray& line)
{
    if (m_logSink)
        m_logSink(line);
}

void Emulator::note(const QString& text)
{
    log("# " + now() + ' ' + text.toUtf8());
}

} // namespace orvane
