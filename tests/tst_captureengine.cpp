#include "CaptureEngine.h"
#include "CaptureObserver.h"
#include "CommandFrame.h"
#include "NetNamespacePair.h"
#include "RawFrame.h"
#include "RawPacketSocket.h"

#include <QMutex>
#include <QScopeGuard>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

using namespace orvane;

namespace {

const uint8_t DeviceMac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
const uint8_t DeviceIp[4] = {198, 18, 0, 2};
const uint8_t NearIp[4] = {198, 18, 0, 1};

// Collects the command frames the engine hands over.
class Collector : public CaptureObserver
{
public:
    void onPacket(RawFrame* frame) override
    {
        if (!CommandFrame::isCommandFrame(*frame, nullptr))
            return;
        QMutexLocker lock(&m_mutex);
        m_texts.append(QByteArray(CommandFrame::text(*frame)));
    }
    QList<QByteArray> texts() const
    {
        QMutexLocker lock(&m_mutex);
        return m_texts;
    }
    int count() const { return texts().size(); }

private:
    mutable QMutex m_mutex;
    QList<QByteArray> m_texts;
};

QByteArray commandFrame(const uint8_t dstMac[6], const uint8_t dstIp[4], const QByteArray& text)
{
    RawFrame* f = CommandFrame::build(DeviceMac, DeviceIp, dstMac, dstIp, text.constData(), text.size());
    const QByteArray bytes(reinterpret_cast<const char*>(f->bytes()), f->length());
    f->release();
    return bytes;
}

QByteArray idText(int id, const char* rest = "")
{
    return "{\"id\":" + QByteArray::number(id) + rest + "}";
}

// Frames the far side receives that are command frames, by text.
QList<QByteArray> receiveCommandTexts(RawPacketSocket& socket, int expected, int timeoutMs)
{
    QList<QByteArray> texts;
    QElapsedTimer timer;
    timer.start();
    while (texts.size() < expected && timer.elapsed() < timeoutMs) {
        const QByteArray frame = socket.receive(int(qMax<qint64>(1, timeoutMs - timer.elapsed())));
        if (frame.size() < 60 || uint8_t(frame[42]) != 0x88 || uint8_t(frame[43]) != 0x88)
            continue;
        texts.append(QByteArray(frame.constData() + 60, frame.size() - 60));
    }
    return texts;
}

} // namespace

// The far end's socket and an engine started on the near end, its threads inside the near namespace.
struct Rig
{
    RawPacketSocket far;
    Collector collector;
    CaptureEngine pcap;
};

class TestCaptureEngine : public QObject
{
    Q_OBJECT
private slots:
    // One pair for the whole case: each test leaves the near end as it found it.
    void initTestCase()
    {
        ORVANE_REQUIRE_NETNS();
        m_pair.reset(new NetNamespacePair);
        QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
        NetnsScope scope(m_pair->namespaceName(NetNamespacePair::Near));
        QVERIFY(scope.ok());
        RawPacketSocket probe;
        QVERIFY2(probe.open(m_pair->interfaceName(NetNamespacePair::Near)), qPrintable(probe.lastError()));
        m_nearMac = probe.mac();
        m_adapter = nearAdapter();
    }
    void framesQueuedBeforeOpenGoOutOnceOpen()
    {
        RawPacketSocket far;
        QVERIFY(openFar(far));
        // The engine is started on a name that does not exist yet, so it keeps retrying.
        const QString lateName = QStringLiteral("orvlate");
        Adapter adapter = nearAdapter(lateName);
        CaptureEngine pcap;
        startNear(pcap, adapter);
        for (int i = 0; i < 3; ++i)
            pcap.send(toDevice(idText(i)));
        QTest::qWait(350);
        QVERIFY(!pcap.isOpen());
        QVERIFY(receiveCommandTexts(far, 1, 100).isEmpty());

        const QString nearIf = m_pair->interfaceName(NetNamespacePair::Near);
        QVERIFY(m_pair->setLinkUp(NetNamespacePair::Near, false));
        QVERIFY(m_pair->ip(NetNamespacePair::Near, {"link", "set", nearIf, "name", lateName}));
        QVERIFY(m_pair->ip(NetNamespacePair::Near, {"link", "set", lateName, "up"}));

        QCOMPARE(receiveCommandTexts(far, 3, 5000), (QList<QByteArray>{idText(0), idText(1), idText(2)}));
        // The send thread may hand out the queued frames a moment before the engine records itself as open.
        QTRY_VERIFY_WITH_TIMEOUT(pcap.isOpen(), 5000);
        QVERIFY(receiveCommandTexts(far, 1, 300).isEmpty()); // sent once
        pcap.stop();
        QVERIFY(m_pair->ip(NetNamespacePair::Near, {"link", "set", lateName, "down"}));
        QVERIFY(m_pair->ip(NetNamespacePair::Near, {"link", "set", lateName, "name", nearIf}));
        QVERIFY(m_pair->setLinkUp(NetNamespacePair::Near, true));
    }
    void oversizedFramesNeverReachObserver()
    {
        QVERIFY(m_pair->setMtu(1600));
        Rig rig;
        QVERIFY(startRig(rig));
        const QByteArray base = fromDevice("");
        for (int length : {1515, 1514, 1600, 1515})
            QVERIFY2(rig.far.send(base + QByteArray(length - base.size(), 'L')), qPrintable(rig.far.lastError()));
        QTRY_COMPARE_WITH_TIMEOUT(rig.collector.count(), 1, 3000);
        QTest::qWait(300);
        QCOMPARE(rig.collector.count(), 1);
        QCOMPARE(rig.collector.texts().at(0), QByteArray(1454, 'L')); // the 1514-byte frame, whole
        rig.pcap.stop();
    }
    void stopDuringCaptureLoopJoinsEveryThread()
    {
        Collector collector;
        const int before = settledThreadCount();
        for (int round = 0; round < 3; ++round) {
            CaptureEngine pcap;
            startNear(pcap, m_adapter, &collector);
            QTRY_VERIFY_WITH_TIMEOUT(pcap.isOpen(), 5000);
            QTest::qWait(150); // the receive thread is inside pcap_loop by now, with nothing arriving
            QCOMPARE(processThreadCount(), before + 3);
            QElapsedTimer timer;
            timer.start();
            pcap.stop();
            // Generous: the loop must be broken, not left to run into its read timeout forever.
            QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
            QVERIFY(!pcap.isOpen());
            QTRY_VERIFY_WITH_TIMEOUT(processThreadCount() <= before, 2000);
        }
        CaptureEngine idle; // a stop without start, and twice in a row, is harmless
        idle.stop();
        idle.stop();
    }
    void reopensAfterInterfaceWentDownAndGetsEveryFrameOnce()
    {
        Rig rig;
        QVERIFY(startRig(rig));
        QCOMPARE(rig.pcap.openCount(), 1);
        QVERIFY(m_pair->setLinkUp(NetNamespacePair::Near, false));
        rig.pcap.send(toDevice(idText(100)));
        QTest::qWait(300);
        QVERIFY(m_pair->setLinkUp(NetNamespacePair::Near, true));
        // The failed send (or the capture loop ending on the downed interface) makes the supervisor reopen.
        QTRY_VERIFY_WITH_TIMEOUT(rig.pcap.isOpen() && rig.pcap.openCount() >= 2, 5000);
        QTest::qWait(100);

        for (int i = 0; i < 5; ++i)
            rig.pcap.send(toDevice(idText(200 + i)));
        // The frame sent while the link was down is not sent late.
        QCOMPARE(receiveCommandTexts(rig.far, 5, 5000),
                 (QList<QByteArray>{idText(200), idText(201), idText(202), idText(203), idText(204)}));

        const int count = 500;
        QList<QByteArray> sent;
        for (int i = 0; i < count; ++i) {
            sent << idText(i, ",\"result\":\"success\"");
            QVERIFY(rig.far.send(fromDevice(sent.last())));
        }
        // Non-ARP traffic is filtered in the kernel.
        QVERIFY(rig.far.send(fromDevice(idText(-7)).replace(12, 2, "\x08\x00", 2)));
        QTRY_COMPARE_WITH_TIMEOUT(rig.collector.count(), count, 5000);
        QTest::qWait(200);
        QCOMPARE(rig.collector.texts(), sent);
        rig.pcap.stop();
    }
    void replyToTheFirstFrameIsNotLost()
    {
        // Setting the capture filter drains the socket: when the filter went on
        // after the first frame had gone out, the quickest replies vanished.
        RawPacketSocket far;
        QVERIFY(openFar(far));
        std::atomic<bool> stopEcho{false};
        std::thread echo([&] {
            while (!stopEcho.load()) {
                const QByteArray frame = far.receive(50);
                if (frame.size() < 60 || uint8_t(frame[42]) != 0x88)
                    continue;
                const auto* asker = reinterpret_cast<const uint8_t*>(frame.constData());
                // Several devices answering at once, as after a search.
                for (int i = 0; i < 5; ++i)
                    far.send(commandFrame(asker + 22, asker + 28, frame.mid(60)));
            }
        });
        const auto joiner = qScopeGuard([&] {
            stopEcho = true;
            echo.join();
        });
        for (int round = 0; round < 20; ++round) {
            Collector collector;
            CaptureEngine pcap;
            startNear(pcap, m_adapter, &collector);
            pcap.send(toDevice(idText(round)));
            QTRY_COMPARE_WITH_TIMEOUT(collector.count(), 5, 3000);
            QCOMPARE(collector.texts().first(), idText(round));
            pcap.stop();
        }
    }

private:
    Adapter nearAdapter(const QString& name = QString())
    {
        Adapter adapter;
        const QString ifName = name.isEmpty() ? m_pair->interfaceName(NetNamespacePair::Near) : name;
        Adapter::setText(adapter.pcapName, ifName.toUtf8().constData());
        Adapter::setText(adapter.description, "test wire");
        memcpy(adapter.address, m_nearMac.constData(), 6);
        memcpy(adapter.ip, NearIp, 4);
        memcpy(adapter.mask, "\xff\xff\xff\x00", 4);
        return adapter;
    }
    void startNear(CaptureEngine& engine, Adapter& adapter, CaptureObserver* observer = nullptr)
    {
        engine.setObserver(observer);
        NetnsScope scope(m_pair->namespaceName(NetNamespacePair::Near));
        engine.start(&adapter);
    }
    bool openFar(RawPacketSocket& socket)
    {
        NetnsScope scope(m_pair->namespaceName(NetNamespacePair::Far));
        return scope.ok() && socket.open(m_pair->interfaceName(NetNamespacePair::Far));
    }
    bool startRig(Rig& rig)
    {
        if (!openFar(rig.far))
            return false;
        startNear(rig.pcap, m_adapter, &rig.collector);
        return QTest::qWaitFor([&] { return rig.pcap.isOpen(); }, 5000);
    }
    const uint8_t* nearMac() const { return reinterpret_cast<const uint8_t*>(m_nearMac.constData()); }
    QByteArray fromDevice(const QByteArray& text) const { return commandFrame(nearMac(), NearIp, text); }
    RawFrame* toDevice(const QByteArray& text) const
    {
        return CommandFrame::build(nearMac(), NearIp, DeviceMac, DeviceIp, text.constData(), text.size());
    }
    std::unique_ptr<NetNamespacePair> m_pair;
    QByteArray m_nearMac;
    Adapter m_adapter;
};

QTEST_GUILESS_MAIN(TestCaptureEngine)
#include "tst_captureengine.moc"
