#include "CommandFrame.h"
#include "CaptureEngine.h"
#include "RawFrame.h"
#include "RawFrameQueue.h"
#include "CaptureObserver.h"

#include <QtTest>
#include <atomic>
#include <cstring>
#include <pcap/pcap.h>
#include <thread>

using namespace orvane;

namespace {
const uint8_t OwnMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const uint8_t OwnIp[4] = {198, 18, 0, 1};
const uint8_t DeviceMac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
const uint8_t DeviceIp[4] = {198, 18, 0, 7};

QByteArray frameBytes(const RawFrame* f)
{
    return QByteArray(reinterpret_cast<const char*>(f->bytes()), f->length());
}

RawFrame* deviceReply(const QByteArray& text)
{
    return CommandFrame::build(DeviceMac, DeviceIp, OwnMac, OwnIp, text.constData(), text.size());
}

struct CountingObserver : CaptureObserver
{
    std::atomic<int> count{0};
    QByteArray lastText;
    void onPacket(RawFrame* frame) override
    {
        ++count;
        lastText = CommandFrame::text(*frame);
    }
};
} // namespace

class TestCommandFrame : public QObject
{
    Q_OBJECT
private slots:
    void frameLayout()
    {
        const QByteArray text(50, 'x');
        RawFrame* f = CommandFrame::build(OwnMac, OwnIp, DeviceMac, DeviceIp, text.constData(), text.size());
        QVERIFY(f);
        QCOMPARE(f->length(), 110);
        const QByteArray b = frameBytes(f);
        // Ethernet to the device, ARP request with both pairs, then the 0x8888 header with text lengths.
        QCOMPARE(b.left(60).toHex(), QByteArray("001a2b3c4d5e" "020000000001" "0806000108000604" "0001"
                                                "020000000001" "c6120001" "001a2b3c4d5e" "c6120007"
                                                "888801004400000000000000" "440000000044"));
        QCOMPARE(b.mid(60), text);
        QCOMPARE(f->bytes()[110], uint8_t(0));
        f->release();

        RawFrame* empty = CommandFrame::build(OwnMac, OwnIp, DeviceMac, DeviceIp, "", 0);
        QCOMPARE(empty->length(), 60);
        QCOMPARE(frameBytes(empty).mid(42).toHex(), QByteArray("888801001200000000000000120000000012"));
        empty->release();

        const QByteArray fits(CommandFrame::MaxTextLength, 'a');
        RawFrame* full = CommandFrame::build(OwnMac, OwnIp, DeviceMac, DeviceIp, fits.constData(), fits.size());
        QVERIFY(full);
        QCOMPARE(full->length(), 1514);
        full->release();
        const QByteArray over(CommandFrame::MaxTextLength + 1, 'a');
        QVERIFY(!CommandFrame::build(OwnMac, OwnIp, DeviceMac, DeviceIp, over.constData(), over.size()));
    }
    void recognition_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("withAdapter");
        QTest::addColumn<bool>("accepted");
        RawFrame* reply = deviceReply(R"({"id":1,"result":"success"})");
        const QByteArray good = frameBytes(reply);
        reply->release();
        QTest::newRow("device reply") << good << true << true;

        QByteArray own = good;
        memcpy(own.data() + 6, OwnMac, 6);
        QTest::newRow("own source MAC") << own << true << false;
        QTest::newRow("own source MAC, no adapter chosen") << own << false << true;

        QTest::newRow("other EtherType") << QByteArray(good).replace(12, 2, "\x08\x00", 2) << true << false;

        // A plain ARP request as a host sends it: 42 bytes padded with zeros to 60.
        QTest::newRow("standard ARP request") << good.left(42) + QByteArray(18, '\0') << true << false;

        QTest::newRow("only one 0x88") << QByteArray(good).replace(43, 1, "\0", 1) << true << false;

        // Nothing but the two marker bytes is checked: wrong lengths still pass.
        QByteArray badLengths = good;
        badLengths[45] = 0x7f;
        badLengths[59] = 0x01;
        QTest::newRow("length fields not checked") << badLengths << true << true;
        QTest::newRow("truncated runt") << good.left(12) << true << false;
    }
    void recognition()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, withAdapter);
        QFETCH(bool, accepted);
        RawFrame* f = RawFrame::fromBytes(reinterpret_cast<const uint8_t*>(frame.constData()), frame.size());
        QVERIFY(f);
        QCOMPARE(CommandFrame::isCommandFrame(*f, withAdapter ? OwnMac : nullptr), accepted);
        f->release();
    }
    void senderComesFromArpBody()
    {
        RawFrame* f = deviceReply(R"({"id":3})");
        // Some devices answer from another Ethernet source than their ARP sender.
        f->bytes()[6] = 0x0e;
        uint8_t mac[6], ip[4];
        CommandFrame::sender(*f, mac, ip);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(mac), 6), QByteArray(reinterpret_cast<const char*>(DeviceMac), 6));
        QCOMPARE(QByteArray(reinterpret_cast<char*>(ip), 4), QByteArray(reinterpret_cast<const char*>(DeviceIp), 4));
        f->release();
    }
    void captureDeliversAtMost1514Bytes()
    {
        CountingObserver observer;
        QByteArray wire(1600, 'q');
        RawFrame* model = deviceReply("{}");
        memcpy(wire.data(), model->bytes(), 60);
        model->release();

        pcap_pkthdr header{{}, 1514, 1514};
        CaptureEngine::deliver(&observer, &header, reinterpret_cast<const unsigned char*>(wire.constData()));
        QCOMPARE(observer.count.load(), 1);
        // The text fills the 1514-byte frame to its last byte and still ends in a zero of ours.
        QCOMPARE(observer.lastText.size(), 1454);
        QVERIFY(!RawFrame::fromBytes(reinterpret_cast<const uint8_t*>(wire.constData()), 1515));

        header.caplen = header.len = 1515;
        CaptureEngine::deliver(&observer, &header, reinterpret_cast<const unsigned char*>(wire.constData()));
        // A snapshot cut to 1514 of a longer frame is still a longer frame.
        header = {{}, 1514, 1600};
        CaptureEngine::deliver(&observer, &header, reinterpret_cast<const unsigned char*>(wire.constData()));
        QCOMPARE(observer.count.load(), 1);
        CaptureEngine::deliver(nullptr, &header, reinterpret_cast<const unsigned char*>(wire.constData()));
    }
    void queueWaitEndsOnWake()
    {
        RawFrameQueue queue;
        // A wake that lands between reading the count and waiting must still end the wait.
        const unsigned seen = queue.wakeCount();
        queue.wake();
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!queue.waitPop(5000, seen));
        QVERIFY(timer.elapsed() < 2000);

        std::thread producer([&] {
            QThread::msleep(50);
            queue.push(deviceReply("{}"));
        });
        RawFrame* f = queue.waitPop(5000, queue.wakeCount());
        producer.join();
        QVERIFY(f);
        f->release();
    }
    void referencesAcrossThreads()
    {
        // Receive thread and waiting thread release the same record concurrently;
        // each holder releases once and the last one frees it (ASan checks the rest).
        for (int round = 0; round < 2000; ++round) {
            RawFrame* f = deviceReply("{}");
            f->retain();
            std::thread other([f] { f->release(); });
            f->release();
            other.join();
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandFrame)
#include "tst_commandframe.moc"
