#include "EmulatedSegment.h"
#include "MulticastCapture.h"
#include "RtpMulticastSession.h"
#include "RtpSessionObserver.h"

#include <QMutex>
#include <QScopeGuard>
#include <QtTest>
#include <arpa/inet.h>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace orvane;

namespace {

const char Group[] = "239.255.42.1";
const int GroupPort = 5004;

// A payload as the sources make it: four zero bytes, then a frame of frameLength patterned bytes.
QByteArray payloadOf(int frameLength)
{
    QByteArray b(4 + frameLength, 0);
    for (int i = 4; i < b.size(); ++i)
        b[i] = char((i * 7 + 3) & 0xFF);
    return b;
}

// A UDP socket bound to a port on every address of the current namespace, to take that port away.
class PortHolder
{
public:
    explicit PortHolder(int port) : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in a{AF_INET, htons(uint16_t(port)), {htonl(INADDR_ANY)}, {}};
        m_ok = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~PortHolder() { ::close(m_fd); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool ok() const { return m_ok; }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    bool m_ok = false;
};

// Records what the session's threads tell it.
class RecordingObserver : public RtpSessionObserver
{
public:
    struct Log
    {
        QVector<uint32_t> elapsed;
        QVector<int64_t> times;
        QVector<QByteArray> packets, payloads;
        QVector<uint32_t> timestamps;
    };
    std::atomic<bool> answer{true};
    std::atomic<int> wantCalls{0};
    std::atomic<int> timeouts{0};

    bool onWantPacket(RtpMulticastSession*, uint32_t elapsedMs) override
    {
        ++wantCalls;
        const bool a = answer.load();
        QMutexLocker lock(&m_lock);
        if (a) {
            m_log.elapsed.append(elapsedMs);
            m_log.times.append(RtpMulticastSession::monotonicMs());
        }
        return a;
    }
    void onPacket(RtpMulticastSession*, const uint8_t* packet, int packetLength, const uint8_t* payload,
                  int payloadLength, uint32_t timestamp) override
    {
        QMutexLocker lock(&m_lock);
        m_log.packets.append(QByteArray(reinterpret_cast<const char*>(packet), packetLength));
        m_log.payloads.append(QByteArray(reinterpret_cast<const char*>(payload), payloadLength));
        m_log.timestamps.append(timestamp);
    }
    void onTimeout(RtpMulticastSession*) override { ++timeouts; }
    Log log() const
    {
        QMutexLocker lock(&m_lock);
        return m_log;
    }

private:
    mutable QMutex m_lock; // guards m_log
    Log m_log;
};

// Threads whose body has returned may take a moment to leave the kernel's list.
bool threadCountSettles(int expected)
{
    return MulticastCapture::waitFor([&] { return processThreadCount() == expected; }, 2000);
}

} // namespace

class TestRtpSession : public QObject
{
    Q_OBJECT
private slots:
    void fragmentation_data();
    void fragmentation();

    void fragmentsOnTheWire();
    void whereItGoes_data();
    void whereItGoes();
    void portProbing_data();
    void portProbing();
    void startArguments_data();
    void startArguments();
    void sendSchedule();
    void stopJoinsThreadsAndSecondStartFails();
    void receiveThreadDeliversPackets();

private:
    QString nearNs() const { return m_pair->namespaceName(NetNamespacePair::Near); }

    std::unique_ptr<NetNamespacePair> m_pair;
};

void TestRtpSession::fragmentation_data()
{
    QTest::addColumn<int>("frame"); // bytes of the MPEG-audio frame
    QTest::addColumn<QStringList>("pieces"); // each: its 4 header bytes in hex, a space, its frame bytes

    QTest::newRow("418 bytes whole") << 418 << QStringList{"00000000 418"};
    QTest::newRow("1456 bytes fill one packet") << 1456 << QStringList{"00000000 1456"};
    QTest::newRow("1457 bytes: one byte at offset 1456")
        << 1457 << QStringList{"00000000 1456", "000005b0 1"};
    QTest::newRow("4000 bytes: three pieces")
        << 4000 << QStringList{"00000000 1456", "000005b0 1456", "00000b60 1088"};
    QTest::newRow("beyond the largest offset: refused") << 65536 + 1456 << QStringList{};
}

// Guards what a standard MPEG-audio depacketizer reassembles by: every piece
// starts with two zero bytes and its offset into the frame, carries the
// frame's next bytes, and only the last one ends the frame.
void TestRtpSession::fragmentation()
{
    QFETCH(int, frame);
    QFETCH(QStringList, pieces);
    const QByteArray payload = payloadOf(frame);
    QVector<QByteArray> got;
    QVector<bool> last;
    const bool whole =
        RtpMulticastSession::forEachPiece(reinterpret_cast<const uint8_t*>(payload.constData()),
                                          payload.size(), [&](const uint8_t* b, int n, bool l) {
                                              got.append(QByteArray(reinterpret_cast<const char*>(b), n));
                                              last.append(l);
                                              return true;
                                          });
    QCOMPARE(whole, !pieces.isEmpty());
    if (pieces.isEmpty())
        return;
    QCOMPARE(got.size(), pieces.size());
    int at = 4;
    for (int i = 0; i < got.size(); ++i) {
        const QStringList want = pieces[i].split(' ');
        QVERIFY(got[i].size() <= 1500 - 20 - 8 - 12);
        QCOMPARE(got[i].left(4).toHex(), want[0].toLatin1());
        QCOMPARE(got[i].mid(4), payload.mid(at, want[1].toInt()));
        QCOMPARE(last[i], i == got.size() - 1);
        at += want[1].toInt();
    }
    QCOMPARE(at, payload.size());
}

// Guards the RTP header of each piece: payload type, the chosen TTL, one
// timestamp for the pieces of one frame, the marker only at its end, and the BYE.
void TestRtpSession::fragmentsOnTheWire()
{
    ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
    NetnsScope scope(nearNs());
    QVERIFY(scope.ok());
    MulticastCapture capture;
    QVERIFY(capture.open(Group, GroupPort));

    RtpMulticastSession session;
    session.setTtl(7);
    QCOMPARE(session.start(Group, 0, GroupPort, 90000, 14, 10), 0);
    for (const auto& [frame, increment] : {std::pair<int, uint32_t>{3000, 1234}, {100, 0}, {1456, 7}})
        QCOMPARE(session.sendPacket(reinterpret_cast<const uint8_t*>(payloadOf(frame).constData()), 4 + frame,
                                    increment),
                 0);
    QVERIFY(MulticastCapture::waitFor([&] { return capture.rtpCount() >= 5; }, 5000));
    session.stop();
    QVERIFY(MulticastCapture::waitFor([&] { return capture.sawRtcp(203); }, 5000));
    capture.stop();

    const auto rtp = capture.rtp();
    QCOMPARE(rtp.size(), 5);
    const int sizes[5] = {1460, 1460, 92, 104, 1460};
    const bool markers[5] = {false, false, true, true, true};
    QVector<MulticastCapture::RtpHeader> h;
    for (int i = 0; i < 5; ++i) {
        h.append(MulticastCapture::parseRtp(rtp[i].bytes));
        QVERIFY(h[i].valid);
        QCOMPARE(h[i].payloadType, 14);
        QCOMPARE(rtp[i].bytes.size() - h[i].headerLength, sizes[i]);
        QCOMPARE(h[i].marker, markers[i]);
        QCOMPARE(rtp[i].ttl, 7);
        if (i > 0) {
            QCOMPARE(uint16_t(h[i].sequence - h[i - 1].sequence), uint16_t(1));
            QCOMPARE(h[i].ssrc, h[0].ssrc);
        }
    }
    QCOMPARE(h[1].timestamp, h[0].timestamp);
    QCOMPARE(h[2].timestamp, h[0].timestamp);
    QCOMPARE(h[3].timestamp, h[0].timestamp + 1234);
    QCOMPARE(h[4].timestamp, h[3].timestamp);
}

void TestRtpSession::whereItGoes_data()
{
    QTest::addColumn<QString>("adapter"); // "near": the near veth
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("multicastRoute");
    QTest::addColumn<QString>("outcome"); // "lo", "veth", "send fails", or the start error

    QTest::newRow("routing table: loopback") << "" << Group << true << "lo";
    QTest::newRow("chosen adapter wins over the route") << "near" << Group << true << "veth";
    QTest::newRow("unknown adapter") << "orvnone0" << Group << true << "no network adapter named orvnone0";
    QTest::newRow("no multicast route") << "" << Group << false << "send fails";
    QTest::newRow("unicast without a route") << "" << "10.0.0.1" << true << "send fails";
}

// Guards that the stream leaves on the chosen adapter whatever the routing
// table says, and that a packet the socket refuses is reported, not counted:
// the next one then goes out with no gap in the sequence.
void TestRtpSession::whereItGoes()
{
    QFETCH(QString, adapter);
    QFETCH(QString, destination);
    QFETCH(bool, multicastRoute);
    QFETCH(QString, outcome);
    ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
    const QStringList route{"224.0.0.0/4", "dev", "lo"};
    if (!multicastRoute)
        QVERIFY(m_pair->ip(NetNamespacePair::Near, QStringList{"route", "del"} + route));
    auto restore = qScopeGuard([&] {
        if (!multicastRoute)
            m_pair->ip(NetNamespacePair::Near, QStringList{"route", "add"} + route);
    });
    const QString farIf = m_pair->interfaceName(NetNamespacePair::Far);
    // The far side hears the group on its veth only.
    m_pair->ip(NetNamespacePair::Far, {"route", "replace", "224.0.0.0/4", "dev", farIf});
    MulticastCapture far;
    QVERIFY(m_pair->runIn(NetNamespacePair::Far, [&] { return far.open(Group, GroupPort); }));
    NetnsScope scope(nearNs());
    MulticastCapture near;
    if (multicastRoute)
        QVERIFY(near.open(Group, GroupPort));

    RtpMulticastSession session;
    session.setMulticastInterface(adapter == "near" ? m_pair->interfaceName(NetNamespacePair::Near)
                                                    : adapter);
    const int started = session.start(destination.toLatin1().constData(), 0, GroupPort, 90000, 14, 10);
    if (outcome.startsWith("no network adapter")) {
        QCOMPARE(started, -1);
        QCOMPARE(session.startError(), outcome);
        return;
    }
    QCOMPARE(started, 0);
    const QByteArray payload = payloadOf(400);
    const int sent =
        session.sendPacket(reinterpret_cast<const uint8_t*>(payload.constData()), payload.size(), 0);
    if (outcome == "send fails") {
        QVERIFY(sent != 0);
        qInfo("refused: %s", strerror(sent));
        return;
    }
    QCOMPARE(sent, 0);
    MulticastCapture& hears = outcome == "lo" ? near : far;
    QVERIFY(MulticastCapture::waitFor([&] { return hears.rtpCount() == 1; }, 3000));
    session.stop();
    far.stop();
    near.stop();
    QCOMPARE((outcome == "lo" ? far : near).rtpCount(), 0);
}

void TestRtpSession::portProbing_data()
{
    QTest::addColumn<QList<int>>("taken");
    QTest::addColumn<int>("base");
    QTest::addColumn<int>("expected"); // the local port, or -1 for a failed start

    QTest::newRow("all free: 13000") << QList<int>{} << 0 << 13000;
    QTest::newRow("13000 in use") << QList<int>{13000} << 0 << 13002;
    QTest::newRow("its RTCP port 13001 in use") << QList<int>{13001} << 0 << 13002;
    QTest::newRow("odd ports are never candidates") << QList<int>{13000, 13002, 13005} << 0 << 13006;
    QTest::newRow("a given base is not probed") << QList<int>{13000} << 5006 << 5006;
    QTest::newRow("a given base in use fails") << QList<int>{5006} << 5006 << -1;
}

// Guards the probe order, that a port pair in use is stepped over, and that a
// given base in use fails instead of silently moving elsewhere.
void TestRtpSession::portProbing()
{
    QFETCH(QList<int>, taken);
    QFETCH(int, base);
    QFETCH(int, expected);
    ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
    NetnsScope scope(nearNs());
    QVERIFY(scope.ok());
    std::vector<std::unique_ptr<PortHolder>> holders;
    for (int port : taken) {
        holders.emplace_back(new PortHolder(port));
        QVERIFY(holders.back()->ok());
    }
    const int threads = settledThreadCount();
    RtpMulticastSession session;
    QCOMPARE(session.start(Group, base, GroupPort, 90000, 14, 10), expected < 0 ? -1 : 0);
    if (expected < 0)
        QVERIFY(threadCountSettles(threads));
    else
        QCOMPARE(session.localPort(), expected);
    session.stop();
}

void TestRtpSession::startArguments_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("clockRate");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("effectiveInterval");
    QTest::addColumn<uint>("increment");

    QTest::newRow("interval 0 is 20 ms") << Group << GroupPort << 90000 << 0 << 0 << 20 << 1800u;
    QTest::newRow("10 ms at 48 kHz") << Group << GroupPort << 48000 << 10 << 0 << 10 << 480u;
    // Mistyped destinations must fail rather than send to 255.255.255.255.
    QTest::newRow("not an address") << "239.255.42" << GroupPort << 90000 << 10 << -1 << 0 << 0u;
    QTest::newRow("port 0") << Group << 0 << 90000 << 10 << -1 << 0 << 0u;
}

void TestRtpSession::startArguments()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(int, clockRate);
    QFETCH(int, interval);
    QFETCH(int, result);
    QFETCH(int, effectiveInterval);
    QFETCH(uint, increment);
    ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
    NetnsScope scope(nearNs());
    const int threads = settledThreadCount();
    RtpMulticastSession session;
    QCOMPARE(session.start(host.toLatin1().constData(), 0, uint16_t(port), clockRate, 14, interval), result);
    if (result == 0) {
        QCOMPARE(session.interval(), effectiveInterval);
        QCOMPARE(session.defaultTimestampIncrement(), increment);
    } else {
        QVERIFY(threadCountSettles(threads));
    }
    session.stop();
    QVERIFY(threadCountSettles(threads));
}

// Guards the send thread's schedule: one request per interval once packets
// flow, with the sum of the intervals so far, never ahead of the clock; the
// requests the observer refuses neither count nor move the schedule.
void TestRtpSession::sendSchedule()
{
    ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
    NetnsScope scope(nearNs());
    RecordingObserver observer;
    observer.answer = false;
    RtpMulticastSession session;
    session.setObserver(&observer);
    QCOMPARE(session.start(Group, 0, GroupPort, 90000, 14, 10), 0);
    QVERIFY(MulticastCapture::waitFor([&] { return observer.wantCalls.load() >= 20; }, 10000));
    observer.answer = true;
    QVERIFY(MulticastCapture::waitFor([&] { return observer.log().elapsed.size() >= 30; }, 10000));
    session.stop();
    const QVector<uint32_t> elapsed = observer.log().elapsed;
    const QVector<int64_t> times = observer.log().times;
    for (int k = 0; k < elapsed.size(); ++k) {
        QCOMPARE(elapsed[k], uint32_t(10 * k));
        // One ms of slack for reading the clock twice.
        QVERIFY2(times[k] - times[0] >= 10 * k - 1,
                 qPrintable(QStringLiteral("request %1 came %2 ms after the first").arg(k).arg(times[k] - times[0])));
    }
}

// Guards that stop joins both threads (nothing runs on after it) and that a
// stopped wrapper cannot be started again.
void TestRtpSession::stopJoinsThreadsAndSecondStartFails()
{
    ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
    NetnsScope scope(nearNs());
    const int before = settledThreadCount();
    RecordingObserver observer;
    auto* session = new RtpMulticastSession;
    session->setObserver(&observer);
    QCOMPARE(session->start(Group, 0, GroupPort, 90000, 14, 10), 0);
    QVERIFY(threadCountSettles(before + 2));
    QVERIFY(MulticastCapture::waitFor([&] { return observer.wantCalls.load() > 0; }, 5000));
    session->stop();
    QVERIFY(threadCountSettles(before));
    const int calls = observer.wantCalls.load();
    QTest::qWait(50);
    QCOMPARE(observer.wantCalls.load(), calls);

    QCOMPARE(session->start(Group, 0, GroupPort, 90000, 14, 10), -1);
    QVERIFY(threadCountSettles(before));
    session->stop(); // a second stop is harmless
    delete session;

    // Destroying a running wrapper joins its threads first.
    session = new RtpMulticastSession;
    session->setObserver(&observer);
    QCOMPARE(session->start(Group, 0, GroupPort, 90000, 14, 10), 0);
    QVERIFY(MulticastCapture::waitFor([&] { return observer.wantCalls.load() > calls; }, 5000));
    delete session;
    const int callsAtDelete = observer.wantCalls.load();
    QVERIFY(threadCountSettles(before));
    QCOMPARE(observer.wantCalls.load(), callsAtDelete);
}

// Guards the receive path: arriving packets reach onPacket with their payload
// and timestamp, and an idle session reports its timeout.
void TestRtpSession::receiveThreadDeliversPackets()
{
    ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
    NetnsScope scope(nearNs());
    RecordingObserver observer;
    observer.answer = false;
    RtpMulticastSession session;
    session.setObserver(&observer);
    session.setReceiveTimeout(50);
    QCOMPARE(session.start("127.0.0.1", 0, 5008, 90000, 14, 10), 0);
    QVERIFY(MulticastCapture::waitFor([&] { return observer.timeouts.load() >= 1; }, 5000));

    PortHolder sender(0);
    QVERIFY(sender.ok());
    sockaddr_in to{AF_INET, htons(uint16_t(session.localPort())), {htonl(INADDR_LOOPBACK)}, {}};
    const int count = 25; // more than one pass of the receive loop takes
    for (int i = 0; i < count; ++i) {
        QByteArray packet = QByteArray::fromHex("800e0000112233440a0b0c0d");
        packet[3] = char(i);
        packet.append("payload ").append(QByteArray::number(i));
        QCOMPARE(::sendto(sender.fd(), packet.constData(), size_t(packet.size()), 0,
                          reinterpret_cast<sockaddr*>(&to), sizeof to),
                 ssize_t(packet.size()));
    }
    QVERIFY(MulticastCapture::waitFor([&] { return observer.log().payloads.size() >= count; }, 5000));
    session.stop();
    const auto payloads = observer.log().payloads;
    const auto packets = observer.log().packets;
    QCOMPARE(payloads.size(), count);
    for (int i = 0; i < count; ++i) {
        QCOMPARE(payloads[i], QByteArray("payload ") + QByteArray::number(i));
        QCOMPARE(packets[i].size(), 12 + payloads[i].size());
        QCOMPARE(observer.log().timestamps[i], 0x11223344u);
    }
}

QTEST_GUILESS_MAIN(TestRtpSession)
#include "tst_rtpsession.moc"
