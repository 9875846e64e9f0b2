#include "CliRunner.h"
#include "DeviceRef.h"
#include "EmulatedSegment.h"
#include "DeviceJob.h"
#include "DeviceTasks.h"
#include "FirmwareJob.h"
#include "ProtocolClient.h"
#include "LogFile.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

using namespace orvane;

namespace {

// The emulated devices, by number: after twelve with one fault each come 25
// that answer after 500 ms and twelve that stall every upload.
enum Device
{
    Plain = 1, RefusesLogin, OddAccount, Silent, Slow, ClosesMidUpload, CookieAfterPath, ResultText, UploadStatus500,
    WebOff, StallsUpload, Plain2, CrowdFirst, CrowdCount = 25, StallFirst = CrowdFirst + CrowdCount, StallCount = 12,
    DeviceCount = StallFirst + StallCount - 1
};

const char OddAccountName[] = "a&b=c";
const char OddPassword[] = "p&q=r +%\xc3\xa9";

QJsonObject misbehaviour(int k)
{
    static const QMap<int, QByteArray> odd{
        {RefusesLogin, R"({"refuseLogin":true})"},       {Silent, R"({"webSilent":true})"},
        {Slow, R"({"webSlowMs":1500})"},                 {ClosesMidUpload, R"({"closeMidUpload":true})"},
        {CookieAfterPath, R"({"cookieAfterPath":true})"}, {UploadStatus500, R"({"uploadStatus":500})"},
        {WebOff, R"({"webOff":true})"},                   {StallsUpload, R"({"stallUpload":true})"}};
    if (k == ResultText)
        return {{"loginReply", R"({"result":"ok"})"}};
    return QJsonDocument::fromJson(k >= StallFirst   ? R"({"stallUpload":true})"
                                   : k >= CrowdFirst ? R"({"webSlowMs":500})"
                                                     : odd.value(k))
        .object();
}

QString line(int k, const char* outcome)
{
    return QStringLiteral("%1 %2: %3").arg(EmulatedSegment::deviceMac(k), EmulatedSegment::deviceIp(k), outcome);
}

// Records of the emulated devices numbered, as a search makes them.
QList<DeviceRecord*> records(const QList<int>& numbers, QList<DeviceRef>* held)
{
    for (int k : numbers)
        held->append(DeviceRef::adopt(EmulatedSegment::deviceRecord(
            k, QString::fromUtf8(k == OddAccount ? OddAccountName : "admin"),
            QString::fromUtf8(k == OddAccount ? OddPassword : "admin"))));
    return recordsOf(*held);
}

QByteArray pseudoRandom(int size, quint32 seed)
{
    QVector<quint32> words(size / 4 + 1);
    QRandomGenerator(seed).fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.constData()), size);
}

QString sha256(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

} // namespace

// Firmware jobs against emulated devices: emulator in the far namespace, the job in the near one.
#define REQUIRE_NET()                                                                                        \
    ORVANE_REQUIRE_NETNS();                                                                                  \
    QVERIFY(m_up)

class TestFirmware : public QObject
{
    Q_OBJECT
private slots:
    void addressThatIsNoAddressGoesNowhere()
    {
        const QString path = writeFile(QStringLiteral("fw.bin"), "firmware");
        const DeviceRef d = DeviceRef::adopt(EmulatedSegment::deviceRecord(0x99));
        d->setIp(QStringLiteral("198.18.1.1/../evil"));
        FirmwareJob bad({d.get()}, path);
        QVERIFY(bad.run());
        QCOMPARE(bad.resultLines(), QStringList{"02:00:00:00:00:99 198.18.1.1/../evil: network error "
                                                "(no IPv4 address: '198.18.1.1/../evil')"});
    }
    void initTestCase()
    {
        if (!NetNamespacePair::canRun(nullptr))
            return; // the network tests skip, or fail in CI, one by one
        m_pair.reset(new NetNamespacePair);
        QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
        QJsonArray config;
        for (int k = 1; k <= DeviceCount; ++k) {
            QJsonObject device{{"misbehave", misbehaviour(k)}};
            if (k == OddAccount)
                device = {{"account", QString::fromUtf8(OddAccountName)}, {"password", QString::fromUtf8(OddPassword)}};
            config.append(device);
        }
        QString error;
        QVERIFY2(m_segment.start(*m_pair, QJsonDocument(config).toJson(), 0, &error, {QStringLiteral("--web")}),
                 qPrintable(error));
        m_up = true;
    }
    void oneDevice_data()
    {
        QTest::addColumn<int>("device");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("loginBody"); // as the device received it; empty: no login
        QTest::addColumn<QString>("sentName");  // as the part header named the file; empty: no upload
        const QString admin = QStringLiteral("username=admin&password=admin");
        const QString ok = QStringLiteral("uploaded (HTTP 200)");
        const QByteArray small = pseudoRandom(10000, 5);
        QTest::newRow("3 MiB") << int(Plain) << "fw-1.2.3.bin" << pseudoRandom(3 << 20, 11) << ok << admin << "fw-1.2.3.bin";
        // Would be "uploaded (HTTP 200)" with nothing in it.
        QTest::newRow("empty file") << int(Plain) << "empty.bin" << QByteArray() << "file not sent (" << "" << "";
        // The device would take the delimiter inside the image for the end of the part.
        QTest::newRow("delimiter across two reads") << int(Plain) << "tricky.bin"
            << pseudoRandom((1 << 20) - 5, 4) + "\r\n--window-nodkit-upload" << "file not sent (" << "" << "";
        // A quote or line break in the name would end the part header and let the
        // rest of the name be read as headers of its own.
        QTest::newRow("quote, line break, % in the name") << int(Plain) << "fw \"b\"\nX-Evil: 1%.bin" << small << ok
                                                         << admin << "fw %22b%22%0AX-Evil: 1%25.bin";
        // "Set-Cookie: Path=/; session=..." still gives the session, and the upload carries it.
        QTest::newRow("session cookie after Path") << int(CookieAfterPath) << "small.bin" << small << ok << admin
                                                   << "small.bin";
        // Unencoded, "&" and "=" would make further fields of the account, "+" a blank.
        QTest::newRow("account with & = + % and UTF-8") << int(OddAccount) << "small.bin" << small << ok
            << "username=a%26b%3Dc&password=p%26q%3Dr%20%2B%25%C3%A9" << "small.bin";
        QTest::newRow("login refused") << int(RefusesLogin) << "small.bin" << small << "login refused" << admin << "";
        QTest::newRow("result as text") << int(ResultText) << "small.bin" << small << ok << admin << "small.bin";
    }
    // What arrives at the device: the login form, then the file whole under the
    // session the login gave; nothing after a refusal.
    void oneDevice()
    {
        REQUIRE_NET();
        QFETCH(int, device);
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, outcome);
        QFETCH(QString, loginBody);
        QFETCH(QString, sentName);
        const QString path = writeFile(name, content);
        const int mark = m_segment.notes().size();
        QList<DeviceRef> held;
        FirmwareJob job(records({device}, &held), path);
        QVERIFY(runNear(job));
        QVERIFY2(job.resultLines().size() == 1 && job.resultLines().first().startsWith(line(device, qPrintable(outcome))),
                 qPrintable(job.resultLines().join('\n')));
        QCOMPARE(job.allUploaded(), !sentName.isEmpty());
        const QStringList notes = m_segment.notes().mid(mark);
        const QString mac = EmulatedSegment::deviceMac(device), all = notes.join('\n');
        QVERIFY2(loginBody.isEmpty() ? notes.isEmpty() : notes.contains(QStringLiteral("login-body %1 %2").arg(mac, loginBody)),
                 qPrintable(all));
        QCOMPARE(countNotes(mark, QStringLiteral("upload")) == 0, sentName.isEmpty());
        if (sentName.isEmpty())
            return;
        const QRegularExpressionMatch login =
            QRegularExpression(QStringLiteral("^login %1 accepted user=\\S+ session=(\\S+)$").arg(mac),
                               QRegularExpression::MultilineOption).match(all);
        QVERIFY2(login.hasMatch(), qPrintable(all));
        for (const QString& expected :
             {QStringLiteral("upload-request %1 content-type=multipart/form-data; boundary=window-nodkit-upload").arg(mac),
              QStringLiteral("upload-part-header %1 Content-Disposition: form-data; name=\"file\"; filename=\"%2\"")
                  .arg(mac, sentName),
              QStringLiteral("upload %1 parts=1 size=%2 sha256=%3 cookie=session=%4 name=%5")
                  .arg(mac).arg(content.size()).arg(sha256(content), login.captured(1), sentName)})
            QVERIFY2(notes.contains(expected), qPrintable(expected + QLatin1String("\n--\n") + all));
    }
    // Run as the program's firmware page runs it: a device job whose result list the operator reads.
    void hostileDevicesEachGetTheirLine()
    {
        REQUIRE_NET();
        const QString path = writeFile(QStringLiteral("hostile.bin"), pseudoRandom(2 << 20, 9));
        const QString logPath = m_dir.filePath(QStringLiteral("program.log"));
        QVERIFY(LogFile::open(logPath));
        QList<DeviceRef> held;
        const QList<DeviceRecord*> list =
            records({Silent, Slow, ClosesMidUpload, UploadStatus500, WebOff, StallsUpload, Plain2}, &held);
        ProtocolClient client;
        // Well above the slow device's 1.5 s, so that a loaded machine does not make it a silent one.
        DeviceJob job(client, DeviceTasks::upgradeFirmware(path, 4000, 4000), list);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(m_pair->runIn(NetNamespacePair::Near, [&] { return job.run(), true; }));
        const qint64 elapsed = timer.elapsed();
        LogFile::close();
        // Which socket error a dropped connection gives is the kernel's choice; the step is the program's.
        using O = DeviceResult::Outcome;
        const QList<QPair<O, QString>> expected = {
            {O::NoAnswer, line(Silent, "no answer (login)")}, {O::Success, line(Slow, "uploaded (HTTP 200)")},
            {O::NoAnswer, line(ClosesMidUpload, "network error (upload, ")},
            {O::Failed, line(UploadStatus500, "upload refused (HTTP 500)")},
            {O::NoAnswer, line(WebOff, "network error (login, ")},
            // The whole file left the PC; nothing confirmed it.
            {O::NoAnswer, line(StallsUpload, "uploaded, no answer afterwards (it may be flashing)")},
            {O::Success, line(Plain2, "uploaded (HTTP 200)")}};
        QFile log(logPath);
        const QString written = log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
        const QList<DeviceResult> got = job.results();
        QCOMPARE(got.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(got[i].outcome, expected[i].first);
            QVERIFY2(written.contains(QStringLiteral("firmware ") + expected[i].second), qPrintable(expected[i].second));
        }
        // Silent devices cost their time-out, not the job's life.
        QVERIFY2(elapsed < 20000, qPrintable(QString::number(elapsed)));
    }
    void tenUploadsAtATime()
    {
        REQUIRE_NET();
        const QString path = writeFile(QStringLiteral("crowd.bin"), pseudoRandom(1 << 20, 13));
        const int threadsBefore = settledThreadCount();
        const int mark = m_segment.notes().size();
        QList<int> numbers;
        for (int k = CrowdFirst; k < CrowdFirst + CrowdCount; ++k)
            numbers << k;
        QList<DeviceRef> held;
        FirmwareJob job(records(numbers, &held), path);
        QVERIFY(runNear(job));
        QVERIFY(job.allUploaded());
        QCOMPARE(job.resultLines().filter(QRegularExpression(": uploaded \\(HTTP 200\\)$")).size(), int(CrowdCount));
        int most = 0;
        for (const QString& n : m_segment.notes().mid(mark).filter(QRegularExpression("^uploads-at-once ")))
            most = qMax(most, n.mid(16).toInt());
        QCOMPARE(countNotes(mark, QStringLiteral("upload 02:")), int(CrowdCount));
        // Without the limit all 25 slow devices would overlap; how many slots a loaded machine fills is its own.
        QVERIFY2(most >= 2 && most <= FirmwareJob::MaxUploads, qPrintable(QString::number(most)));
        QTRY_VERIFY_WITH_TIMEOUT(processThreadCount() <= threadsBefore, 10000);
    }
    void closingStopsEveryThread()
    {
        REQUIRE_NET();
        const QString path = writeFile(QStringLiteral("stuck.bin"), pseudoRandom(4 << 20, 17));
        const int threadsBefore = settledThreadCount();
        const int mark = m_segment.notes().size();
        // A silent login, two devices that take the image, twelve that stop reading it: two devices wait.
        QList<int> numbers{Silent, Plain, Plain2};
        QStringList expected{line(Silent, "cancelled"), line(Plain, "uploaded (HTTP 200)"),
                             line(Plain2, "uploaded (HTTP 200)")};
        for (int k = StallFirst; k < StallFirst + StallCount; ++k) {
            numbers << k;
            expected << line(k, "cancelled");
        }
        QList<DeviceRef> held;
        const QList<DeviceRecord*> list = records(numbers, &held);
        // A job closed before it runs asks nobody.
        FirmwareJob early(list, path);
        early.abort();
        QVERIFY(!runNear(early));
        QCOMPARE(early.resultLines().filter(QRegularExpression(": cancelled$")).size(), numbers.size());
        QCOMPARE(m_segment.notes().mid(mark), QStringList());
        FirmwareJob job(list, path);
        std::atomic<bool> stopRequested{false};
        std::atomic<int> outcome{-1};
        const QString near = m_pair->namespaceName(NetNamespacePair::Near);
        std::thread worker([&] {
            if (NetNamespacePair::enterOnThisThread(near))
                outcome = job.run([&] { return stopRequested.load(); }) ? 1 : 0;
        });
        // The silent login holds one slot, stalled uploads the other nine.
        QTRY_COMPARE_WITH_TIMEOUT(countNotes(mark, QStringLiteral("upload-stalled ")), FirmwareJob::MaxUploads - 1, 20000);
        QCOMPARE(outcome.load(), -1);

        // As the closed job dialog does.
        QElapsedTimer timer;
        timer.start();
        stopRequested = true;
        job.abort();
        const qint64 abortMs = timer.elapsed();
        worker.join();
        QCOMPARE(outcome.load(), 0);
        QVERIFY2(abortMs < 8000, qPrintable(QString::number(abortMs)));
        QCOMPARE(job.resultLines(), expected);
        QTRY_VERIFY_WITH_TIMEOUT(processThreadCount() <= threadsBefore, 10000);
        // The device side sees each transfer cut off.
        QTRY_COMPARE_WITH_TIMEOUT(countNotes(mark, QStringLiteral("upload-broken ")), FirmwareJob::MaxUploads - 1, 10000);
    }
    void cli_data()
    {
        QTest::addColumn<QStringList>("args"); // FILE: the image
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // a part of it
        const QString one = EmulatedSegment::deviceMac(Plain);
        // Given out of order and in another spelling: the lines come in MAC order.
        QTest::newRow("one refused") << QStringList{"--device", "02-00-00-00-00-02," + one, "FILE"} << 1
                                     << line(Plain, "uploaded (HTTP 200)\n") + line(RefusesLogin, "login refused\n")
                                     << "orvane-cli firmware: 02:00:00:00:00:02: login refused\n";
        // Nothing is sent for a device that did not answer.
        QTest::newRow("unknown device") << QStringList{"--device", "02:00:00:00:09:99", "FILE"} << 2 << ""
                                        << "no device 02:00:00:00:09:99";
    }
    void cli()
    {
        REQUIRE_NET();
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const QByteArray content = pseudoRandom(300000, 21);
        args.replaceInStrings(QStringLiteral("FILE"), writeFile(QStringLiteral("cli.bin"), content));
        const int mark = m_segment.notes().size();
        const CliRun r = orvane::runNear(*m_pair, m_dir.path(), QStringList{"firmware", "--timeout", "1000"} + args);
        QCOMPARE(r.out, out);
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() || status == 2 : r.err.contains(err), qPrintable(r.err));
        QCOMPARE(r.status, status);
        // Each device said to have its image has it, whole; with bad usage nobody is even asked.
        const QStringList notes = m_segment.notes().mid(mark);
        for (const QString& l : out.split(QLatin1Char('\n')).filter(QRegularExpression("^02:.* uploaded"))) {
            const QRegularExpression upload("^upload " + l.section(' ', 0, 0) + " .*" + sha256(content));
            QVERIFY2(!notes.filter(upload).isEmpty(), qPrintable(l));
        }
        if (status == 2)
            QCOMPARE(notes.filter(QRegularExpression(QStringLiteral("^(login|upload)"))), QStringList());
    }

private:
    bool runNear(FirmwareJob& job)
    {
        return m_pair->runIn(NetNamespacePair::Near, [&] { return job.run(); });
    }
    int countNotes(int mark, const QString& prefix) const
    {
        return m_segment.notes().mid(mark).filter(QRegularExpression(QLatin1Char('^') + prefix)).size();
    }
    QString writeFile(const QString& name, const QByteArray& content)
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() ? file.fileName() : QString();
    }

    std::unique_ptr<NetNamespacePair> m_pair;
    EmulatedSegment m_segment;
    QTemporaryDir m_dir;
    bool m_up = false;
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "tst_firmware.moc"
