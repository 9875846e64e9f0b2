#include "EmulatedSegment.h"
#include "MulticastCapture.h"
#include "RtpMulticastSession.h"
#include "RtpSessionObserver.h"

#include <QtTest>

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
    explicit PortHolder(int port) : fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in a{AF_INET, htons(uint16_t(port)), {htonl(INADDR_ANY)}, {}};
        ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~PortHolder() { ::close(fd); }
    Q_DISABLE_COPY(PortHolder)
    const int fd;
    bool ok = false;
};

// Records what the session's threads tell it.
class RecordingObserver : public RtpSessionObserver
{
public:
    struct Log
    {
        QVector<uint32_t> elapsed, timestamps;
        QVector<int64_t> times;
        QVector<QByteArray> payloads;
        QVector<int> packetLengths;
    };
    std::atomic<bool> answer{true};
    std::atomic<int> wantCalls{0}, timeouts{0};

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
    void onPacket(RtpMulticastSession*, const uint8_t*, int packetLength, const uint8_t* payload,
                  int payloadLength, uint32_t timestamp) override
    {
        QMutexLocker lock(&m_lock);
        m_log.packetLengths.append(packetLength);
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

template <typename Cond> bool waitFor(Cond cond) { return MulticastCapture::waitFor(cond, 5000); }

const uint8_t* bytesOf(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }

} // namespace

class TestRtpSession : public QObject
{
    Q_OBJECT
private slots:
    void fragmentation_data()
    {
        QTest::addColumn<int>("frame"); // bytes of the MPEG-audio frame
        QTest::addColumn<QStringList>("pieces"); // each: its 4 header bytes in hex, a space, its frame bytes
        QTest::newRow("418 bytes whole") << 418 << QStringList{"00000000 418"};
        QTest::newRow("1457 bytes: one byte at offset 1456") << 1457 << QStringList{"00000000 1456", "000005b0 1"};
        QTest::newRow("4000 bytes: three pieces")
            << 4000 << QStringList{"00000000 1456", "000005b0 1456", "00000b60 1088"};
        QTest::newRow("beyond the largest offset: refused") << 65536 + 1456 << QStringList{};
    }
    // Guards what a standard MPEG-audio depacketizer reassembles by: every piece starts with two zero
    // bytes and its offset into the frame, carries the frame's next bytes, and only the last ends it.
    void fragmentation()
    {
        QFETCH(int, frame);
        QFETCH(QStringList, pieces);
        const QByteArray payload = payloadOf(frame);
        QVector<QByteArray> got;
        QVector<bool> last;
        const bool whole = RtpMulticastSession::forEachPiece(bytesOf(payload), payload.size(), [&](const uint8_t* b, int n, bool l) {
            got.append(QByteArray(reinterpret_cast<const char*>(b), n));
            last.append(l);
            return true;
        });
        QCOMPARE(whole, !pieces.isEmpty());
        QCOMPARE(got.size(), pieces.size());
        if (pieces.isEmpty())
            return;
        int at = 4;
        for (int i = 0; i < got.size(); ++i) {
            const QStringList want = pieces[i].split(' ');
            QCOMPARE(got[i].left(4).toHex(), want[0].toLatin1());
            QCOMPARE(got[i].mid(4), payload.mid(at, want[1].toInt()));
            QCOMPARE(last[i], i == got.size() - 1);
            at += want[1].toInt();
        }
        QCOMPARE(at, payload.size());
    }
    // Guards the RTP header of each piece: payload type, the chosen TTL, one
    // timestamp for the pieces of one frame, the marker only at its end, and the BYE.
    void fragmentsOnTheWire()
    {
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        NetnsScope scope(nearNs());
        MulticastCapture capture;
        QVERIFY(capture.open(Group, GroupPort));
        RtpMulticastSession session;
        session.setTtl(7);
        QCOMPARE(session.start(Group, 0, GroupPort, 90000, 14, 10), 0);
        for (const auto& [frame, increment] : {std::pair<int, uint32_t>{3000, 1234}, {100, 0}, {1456, 7}})
            QCOMPARE(session.sendPacket(bytesOf(payloadOf(frame)), 4 + frame, increment), 0);
        QVERIFY(waitFor([&] { return capture.rtpCount() >= 5; }));
        session.stop();
        QVERIFY(waitFor([&] { return capture.sawRtcp(203); }));
        capture.stop();
        const auto rtp = capture.rtp();
        QCOMPARE(rtp.size(), 5);
        const int sizes[5] = {1460, 1460, 92, 104, 1460};
        QVector<MulticastCapture::RtpHeader> h;
        for (int i = 0; i < 5; ++i) {
            h.append(MulticastCapture::parseRtp(rtp[i].bytes));
            QCOMPARE(h[i].payloadType, 14);
            QCOMPARE(rtp[i].bytes.size() - h[i].headerLength, sizes[i]);
            QCOMPARE(h[i].marker, i >= 2);
            QCOMPARE(rtp[i].ttl, 7);
            QCOMPARE(uint16_t(h[i].sequence - h[0].sequence), uint16_t(i));
            QCOMPARE(h[i].ssrc, h[0].ssrc);
            QCOMPARE(h[i].timestamp, h[0].timestamp + (i < 3 ? 0 : 1234));
        }
    }
    // Guards that the stream leaves on the chosen adapter (the near veth) whatever the route says.
    void whereItGoes()
    {
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        // The far side hears the group on its veth only.
        m_pair->ip(NetNamespacePair::Far, {"route", "replace", "224.0.0.0/4", "dev", m_pair->interfaceName(NetNamespacePair::Far)});
        for (const bool chosen : {false, true}) {
            MulticastCapture far, near;
            QVERIFY(m_pair->runIn(NetNamespacePair::Far, [&] { return far.open(Group, GroupPort); }));
            NetnsScope scope(nearNs());
            QVERIFY(near.open(Group, GroupPort));
            RtpMulticastSession session;
            session.setMulticastInterface(chosen ? m_pair->interfaceName(NetNamespacePair::Near) : QString());
            QCOMPARE(session.start(Group, 0, GroupPort, 90000, 14, 10), 0);
            QCOMPARE(session.sendPacket(bytesOf(payloadOf(400)), 404, 0), 0);
            QVERIFY(waitFor([&] { return (chosen ? far : near).rtpCount() == 1; }));
            session.stop();
            far.stop();
            near.stop();
            QCOMPARE((chosen ? near : far).rtpCount(), 0);
        }
    }
    void portProbing_data()
    {
        QTest::addColumn<QList<int>>("taken");
        QTest::addColumn<int>("base");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("expected"); // the local port, or -1 for a failed start
        const QString to = QStringLiteral("%1:%2").arg(Group).arg(GroupPort);
        QTest::newRow("all free: 13000") << QList<int>{} << 0 << to << 13000;
        QTest::newRow("its RTCP port 13001 in use") << QList<int>{13001} << 0 << to << 13002;
        QTest::newRow("odd ports are never candidates") << QList<int>{13000, 13002, 13005} << 0 << to << 13006;
        QTest::newRow("a given base is not probed") << QList<int>{13000} << 5006 << to << 5006;
        QTest::newRow("a given base in use fails") << QList<int>{5006} << 5006 << to << -1;
        // Mistyped destinations must fail rather than send to 255.255.255.255.
        QTest::newRow("not an address") << QList<int>{} << 0 << "239.255.42:5004" << -1;
        QTest::newRow("port 0") << QList<int>{} << 0 << QString(Group) + ":0" << -1;
    }
    // Guards the probe order, that a port pair in use is stepped over, that a given base in use fails
    // instead of silently moving elsewhere, and that a failed start leaves no thread behind.
    void portProbing()
    {
        QFETCH(QList<int>, taken);
        QFETCH(int, base);
        QFETCH(QString, to);
        QFETCH(int, expected);
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        NetnsScope scope(nearNs());
        std::vector<std::unique_ptr<PortHolder>> holders;
        for (int port : taken) {
            holders.emplace_back(new PortHolder(port));
            QVERIFY(holders.back()->ok);
        }
        const int threads = settledThreadCount();
        RtpMulticastSession session;
        const QStringList dest = to.split(':');
        QCOMPARE(session.start(qPrintable(dest[0]), base, uint16_t(dest[1].toInt()), 90000, 14, 0), expected < 0 ? -1 : 0);
        QVERIFY(threadCountSettles(threads + (expected < 0 ? 0 : 2)));
        if (expected > 0) {
            QCOMPARE(session.localPort(), expected);
            QCOMPARE(session.interval(), 20); // interval 0 is 20 ms
            QCOMPARE(session.defaultTimestampIncrement(), 1800u);
        }
        session.stop();
        QVERIFY(threadCountSettles(threads));
    }
    // Guards the send thread's schedule: one request per interval once packets flow, with the sum of the
    // intervals so far, never ahead of the clock; refused requests neither count nor move the schedule.
    // Then that stop joins both threads, a stopped wrapper cannot restart, and destroying a running one joins.
    void sendScheduleAndStop()
    {
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        NetnsScope scope(nearNs());
        const int before = settledThreadCount();
        RecordingObserver observer;
        observer.answer = false;
        auto session = std::make_unique<RtpMulticastSession>();
        session->setObserver(&observer);
        QCOMPARE(session->start(Group, 0, GroupPort, 90000, 14, 10), 0);
        QVERIFY(MulticastCapture::waitFor([&] { return observer.wantCalls.load() >= 20; }, 10000));
        observer.answer = true;
        QVERIFY(MulticastCapture::waitFor([&] { return observer.log().elapsed.size() >= 30; }, 10000));
        session->stop();
        const auto log = observer.log();
        for (int k = 0; k < log.elapsed.size(); ++k) {
            QCOMPARE(log.elapsed[k], uint32_t(10 * k));
            QVERIFY2(log.times[k] - log.times[0] >= 10 * k - 1, qPrintable(QString::number(k))); // 1 ms: two clock reads
        }
        QVERIFY(threadCountSettles(before));
        const int calls = observer.wantCalls.load();
        QTest::qWait(50);
        QCOMPARE(observer.wantCalls.load(), calls);
        QCOMPARE(session->start(Group, 0, GroupPort, 90000, 14, 10), -1);
        QVERIFY(threadCountSettles(before));
        session->stop(); // a second stop is harmless
        session = std::make_unique<RtpMulticastSession>();
        session->setObserver(&observer);
        QCOMPARE(session->start(Group, 0, GroupPort, 90000, 14, 10), 0);
        QVERIFY(waitFor([&] { return observer.wantCalls.load() > calls; }));
        session.reset();
        const int callsAtDelete = observer.wantCalls.load();
        QVERIFY(threadCountSettles(before));
        QCOMPARE(observer.wantCalls.load(), callsAtDelete);
    }
    // Guards that arriving packets reach onPacket with payload and timestamp, and an idle session times out.
    void receiveThreadDeliversPackets()
    {
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        NetnsScope scope(nearNs());
        RecordingObserver observer;
        observer.answer = false;
        RtpMulticastSession session;
        session.setObserver(&observer);
        session.setReceiveTimeout(50);
        QCOMPARE(session.start("127.0.0.1", 0, 5008, 90000, 14, 10), 0);
        QVERIFY(waitFor([&] { return observer.timeouts.load() >= 1; }));
        PortHolder sender(0);
        sockaddr_in to{AF_INET, htons(uint16_t(session.localPort())), {htonl(INADDR_LOOPBACK)}, {}};
        const int count = 25; // more than one pass of the receive loop takes
        for (int i = 0; i < count; ++i) {
            const QByteArray packet = QByteArray::fromHex("800e00") + char(i) + QByteArray::fromHex("112233440a0b0c0d") + "payload " + QByteArray::number(i);
            QCOMPARE(::sendto(sender.fd, packet.constData(), size_t(packet.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                     ssize_t(packet.size()));
        }
        QVERIFY(waitFor([&] { return observer.log().payloads.size() >= count; }));
        session.stop();
        const auto log = observer.log();
        QCOMPARE(log.payloads.size(), count);
        for (int i = 0; i < count; ++i) {
            QCOMPARE(log.payloads[i], QByteArray("payload ") + QByteArray::number(i));
            QCOMPARE(log.packetLengths[i], 12 + log.payloads[i].size());
            QCOMPARE(log.timestamps[i], 0x11223344u);
        }
    }
private:
    QString nearNs() const { return m_pair->namespaceName(NetNamespacePair::Near); }
    std::unique_ptr<NetNamespacePair> m_pair;
};

QTEST_GUILESS_MAIN(TestRtpSession)
#include "tst_rtpsession.moc"
