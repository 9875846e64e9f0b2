// The protocol client on a real capture handle in one namespace, the emulator in
// the other: hostile and late replies and a large search take the same
// path as on a LAN. The exact bytes of each command are in tst_protocolclient.
#include "CommandObserver.h"
#include "DeviceSearch.h"
#include "EmulatedSegment.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QSet>
#include <QtTest>
#include <atomic>
#include <functional>
#include <thread>

using namespace orvane;

namespace {

// Well below the 3000 ms reply timeout: a reply taken, or a cancel that worked, ends a command long before.
const qint64 PromptMs = 1500;

// Emulator device numbers: the configured devices come first, then the generated ones.
enum DeviceNumber { Silent = 1, Late, IdAsString, CapitalKeys, Fails, BrokenJson, FullFrame, ForeignReplies,
                    Twice, CapitalSearch, FirstPlain };
const QSet<int> Mute{Silent, Late, BrokenJson, CapitalSearch};

const char DeviceConfig[] = R"([
    {"misbehave": {"silent": true}}, {"misbehave": {"delayMs": 3500}}, {"misbehave": {"idAsString": true}},
    {"misbehave": {"capitalKeys": true}}, {"misbehave": {"fail": true}}, {"misbehave": {"brokenJson": true}},
    {"misbehave": {"fullFrame": true}}, {"misbehave": {"foreignReplies": true}}, {"misbehave": {"twice": true}},
    {"misbehave": {"capitalSearch": true}}
])";

// The sender of a record: the MAC of the frame, not what its text claims.
QString macOf(const DeviceRecord* device)
{
    uint8_t mac[6];
    device->macBytes(mac);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(mac), 6).toHex(':'));
}

QString ipOf(const DeviceRecord* device)
{
    uint8_t ip[4];
    device->ipBytes(ip);
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

QList<DeviceRecord*> from(const QList<DeviceRecord*>& records, const QString& mac)
{
    QList<DeviceRecord*> out;
    for (DeviceRecord* d : records)
        if (macOf(d) == mac)
            out.append(d);
    return out;
}

// A record of device k addressed the way the emulator places it, without a search.
using Record = std::unique_ptr<DeviceRecord, void (*)(DeviceRecord*)>;
Record record(int k)
{
    return Record(EmulatedSegment::deviceRecord(k), [](DeviceRecord* d) { d->release(); });
}

// Keeps what the protocol client reports receiving, in order.
class Recorder : public CommandObserver
{
public:
    void onSendCommand(ProtocolClient*, const char*) override {}
    void onRecvCommand(ProtocolClient*, const char* text) override
    {
        QMutexLocker lock(&m_mutex);
        m_received.append(QByteArray(text));
    }
    QList<QByteArray> received(int since = 0) const
    {
        QMutexLocker lock(&m_mutex);
        return m_received.mid(since);
    }
    int count() const { return received().size(); }
    // Whether a text carrying this id (as a number) arrived since.
    bool sawId(uint32_t id, int since) const
    {
        const QByteArray key = "\"id\":" + QByteArray::number(id);
        for (const QByteArray& text : received(since)) {
            const int at = text.indexOf(key) + key.size();
            if (at >= key.size() && (at == text.size() || !isdigit(uchar(text[at]))))
                return true;
        }
        return false;
    }

private:
    mutable QMutex m_mutex;
    QList<QByteArray> m_received;
};

} // namespace

class TestWireFormat : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Every frame would otherwise be echoed as a debug line.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        ORVANE_REQUIRE_NETNS();
        m_pair = std::make_unique<NetNamespacePair>();
        QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
        QString error;
        QVERIFY2(m_segment.start(*m_pair, DeviceConfig, 1, &error), qPrintable(error));
        m_client = std::make_unique<ProtocolClient>();
        m_client->setObserver(&m_recorder);
        QVERIFY2(EmulatedSegment::openNear(*m_client, *m_pair, &error), qPrintable(error));
        QVERIFY(m_client->waitUntilCaptureOpen(10000));
        // Until every device that answers has, the silence of the others means nothing.
        m_first = EmulatedSegment::searchUntil(*m_client, [](const QList<DeviceRecord*>& found) {
            for (int k = 1; k <= FirstPlain; ++k)
                if (!Mute.contains(k) && from(found, EmulatedSegment::deviceMac(k)).isEmpty())
                    return false;
            return true;
        });
    }
    void cleanupTestCase()
    {
        for (DeviceRecord* d : qAsConst(m_first))
            d->release();
        // The capture threads go before the namespace that holds their interface.
        m_client.reset();
        m_segment.stop();
        m_pair.reset();
    }

    void misbehavingDevices_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("result"); // of a command; 1: none sent (its reply answers nothing)
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("searchRecords");
        QTest::addColumn<QString>("searchName");

        using O = ProtocolClient::Outcome;
        QTest::newRow("id as a string") << int(IdAsString) << 0 << int(O::Success) << 1 << "Device 3";
        // Keys match without regard to case, so "METHOD" and "RESULT" count;
        // "NAME" is no field name, and lands among the others.
        QTest::newRow("capital keys") << int(CapitalKeys) << 0 << int(O::Success) << 1 << "";
        QTest::newRow("result fail") << int(Fails) << -1 << int(O::Failed) << 1 << "Device 5";
        QTest::newRow("1514-byte frames") << int(FullFrame) << 0 << int(O::Success) << 1 << "Device 7";
        QTest::newRow("foreign replies") << int(ForeignReplies) << 0 << int(O::Success) << 1 << "Device 8";
        // The second answer of a device is dropped as it arrives.
        QTest::newRow("answers twice") << int(Twice) << 0 << int(O::Success) << 1 << "Device 9";
        QTest::newRow("capitalised search") << int(CapitalSearch) << 0 << int(O::Success) << 0 << "";
        QTest::newRow("broken JSON") << int(BrokenJson) << 1 << 0 << 0 << "";
        QTest::newRow("silent") << int(Silent) << 1 << 0 << 0 << "";
    }
    void misbehavingDevices()
    {
        QFETCH(int, number);
        QFETCH(int, result);
        QFETCH(int, outcome);
        QFETCH(int, searchRecords);
        QFETCH(QString, searchName);

        const QList<DeviceRecord*> records = from(m_first, EmulatedSegment::deviceMac(number));
        QCOMPARE(records.size(), searchRecords);
        for (const DeviceRecord* record : records) {
            QCOMPARE(record->name(), searchName);
            QCOMPARE(ipOf(record), EmulatedSegment::deviceIp(number));
        }
        // Whatever else arrived, no record may name a sender the emulator does not play.
        for (const DeviceRecord* record : m_first)
            QVERIFY2(macOf(record).startsWith(QLatin1String("02:00:00:00:")), qPrintable(macOf(record)));
        if (result == 1)
            return;

        const Record device = record(number);
        const uint32_t id = m_client->nextId();
        const int since = m_recorder.count();
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(m_client->playVolume(device.get()), result);
        QVERIFY2(timer.elapsed() < PromptMs, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(int(m_client->lastOutcome()), outcome);
        QCOMPARE(m_segment.commands(QStringLiteral("PlayVolume")).last().destination, EmulatedSegment::deviceMac(number));
        if (number == ForeignReplies) // the decoy really came and was passed over
            QTRY_VERIFY(m_recorder.sawId(id + 1000, since));
        if (number == FullFrame) {
            int longest = 0;
            for (const QByteArray& text : m_recorder.received(since))
                longest = qMax(longest, text.size());
            QCOMPARE(longest, 1514 - 60);
        }
    }
    // A reply that cannot be read, and a success that arrives after its command
    // gave up, must not be taken for the answer to the command waiting at that
    // moment: each wait here goes on until it is cancelled after the reply came.
    void repliesThatAnswerNothing()
    {
        const Record broken = record(BrokenJson), late = record(Late), silent = record(Silent);
        const auto playBroken = [&] { return m_client->playVolume(broken.get()); };
        QCOMPARE(cancelledAfterReply(m_client->nextId(), m_recorder.count(), playBroken), -1);
        QCOMPARE(m_client->lastOutcome(), ProtocolClient::Outcome::Cancelled);

        const uint32_t lateId = m_client->nextId();
        const int since = m_recorder.count();
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(m_client->playVolume(late.get()), -1);
        QCOMPARE(m_client->lastOutcome(), ProtocolClient::Outcome::NoAnswer);
        QVERIFY2(timer.elapsed() >= 2800 && timer.elapsed() < 5500, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(cancelledAfterReply(lateId, since, [&] { return m_client->playVolume(silent.get()); }), -1);
        QCOMPARE(m_client->lastOutcome(), ProtocolClient::Outcome::Cancelled);
    }
    void thousandDevicesAnswerOneSearch()
    {
        const int count = 1000;
        QString error;
        QVERIFY2(m_segment.start(*m_pair, "[]", count, &error), qPrintable(error));
        const QList<DeviceRecord*> found = EmulatedSegment::searchUntil(
            *m_client, [](const QList<DeviceRecord*>& r) { return r.size() >= count; }, 500);
        QCOMPARE(found.size(), count);
        for (const DeviceRecord* device : found) {
            const QString mac = macOf(device);
            // Each record pairs a MAC with the address the same device answered from.
            const int k = mac.mid(12, 2).toInt(nullptr, 16) * 256 + mac.mid(15, 2).toInt(nullptr, 16);
            QCOMPARE(ipOf(device), EmulatedSegment::deviceIp(k));
        }
        const QList<DeviceRef> kept = DeviceSearch::accept(found);
        QCOMPARE(kept.size(), count); // one record for each MAC
        QCOMPARE(kept.first()->mac(), EmulatedSegment::deviceMac(1));
        QCOMPARE(kept.last()->mac(), EmulatedSegment::deviceMac(count));
    }

private:
    // Runs command while its wait is cancelled from another thread once a text
    // carrying id has arrived since the recorder held `since` texts.
    int cancelledAfterReply(uint32_t id, int since, const std::function<int()>& command)
    {
        const uint32_t before = m_client->nextId();
        std::atomic<bool> done{false};
        // Cancels over and over until the command returns: a cancel that lands
        // before the command has begun to wait would otherwise be lost.
        std::thread canceller([&] {
            QElapsedTimer timer;
            timer.start();
            while (!done.load() && timer.elapsed() < 20000) {
                if (m_recorder.sawId(id, since) && m_client->nextId() > before)
                    m_client->cancelWait();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        const int result = command();
        done = true;
        canceller.join();
        return result;
    }

    std::unique_ptr<NetNamespacePair> m_pair;
    EmulatedSegment m_segment;
    std::unique_ptr<ProtocolClient> m_client;
    Recorder m_recorder;
    QList<DeviceRecord*> m_first; // the first search, once every answering device was in it
};

QTEST_GUILESS_MAIN(TestWireFormat)
#include "tst_wireformat.moc"
