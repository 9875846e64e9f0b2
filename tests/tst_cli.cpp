#include "NetNamespacePair.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
struct Run
{
    int status = -1;
    QString out;
    QString err;
};
} // namespace

// orvane-cli against emulated devices across a veth pair: the emulator in the
// far namespace, the front end in the near one.
class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void adaptersMarksTheChosenOne();
    void searchFormats();
    void setNameEndToEnd();
    void settingsRoundTrips();
    void exitStatuses_data();
    void exitStatuses();
    void badUsageSendsNothing();
    void batchesCountUpInMacOrder();

private:
    Run cli(const QStringList& args, int timeoutMs = 30000, const QByteArray& input = QByteArray());
    QStringList loggedCommands();

    std::unique_ptr<NetNamespacePair> m_pair;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_emulator;
};

void TestCli::initTestCase()
{
    ORVANE_REQUIRE_NETNS();
    m_pair.reset(new NetNamespacePair);
    QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
    m_dir.reset(new QTemporaryDir);
    // Devices 1 to 3 well-behaved; 4 fails every command; 5 answers after 3.5 s;
    // 6 is of another model.
    QFile config(m_dir->filePath(QStringLiteral("devices.json")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(R"([{}, {}, {}, {"misbehave":{"fail":true}}, {"misbehave":{"delayMs":3500}}, {"type":"XYZ9"}])");
    config.close();
    const QString ready = m_dir->filePath(QStringLiteral("ready"));
    m_emulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_emulator.start(QStringLiteral("ip"),
                     {QStringLiteral("netns"), QStringLiteral("exec"), m_pair->namespaceName(NetNamespacePair::Far),
                      QStringLiteral(ORVANE_EMULATOR_PATH), QStringLiteral("--interface"),
                      m_pair->interfaceName(NetNamespacePair::Far), QStringLiteral("--config"), config.fileName(),
                      QStringLiteral("--log"), m_dir->filePath(QStringLiteral("emulator.log")),
                      QStringLiteral("--ready-file"), ready});
    QVERIFY(m_emulator.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ready) || m_emulator.state() == QProcess::NotRunning, 15000);
    QVERIFY2(QFile::exists(ready), "the emulator did not come up");
}

void TestCli::cleanupTestCase()
{
    if (m_emulator.state() != QProcess::NotRunning) {
        m_emulator.terminate();
        if (!m_emulator.waitForFinished(5000))
            m_emulator.kill();
        m_emulator.waitForFinished(2000);
    }
    m_pair.reset();
}

Run TestCli::cli(const QStringList& args, int timeoutMs, const QByteArray& input)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // A profile of its own, so that no remembered adapter of the machine applies.
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir->filePath(QStringLiteral("data")));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("ip"), QStringList{QStringLiteral("netns"), QStringLiteral("exec"),
                                              m_pair->namespaceName(NetNamespacePair::Near),
                                              QStringLiteral(ORVANE_CLI_PATH)} +
                                      args);
    p.write(input);
    p.closeWriteChannel();
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QStringList TestCli::loggedCommands()
{
    QFile log(m_dir->filePath(QStringLiteral("emulator.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray& line : log.readAll().split('\n')) {
        // A search is how every command finds its devices; the rest act on them.
        if (!line.isEmpty() && !line.startsWith('#') && !line.contains("\"method\":\"search\""))
            lines << QString::fromUtf8(line);
    }
    return lines;
}

void TestCli::adaptersMarksTheChosenOne()
{
    const Run r = cli({QStringLiteral("adapters"), QStringLiteral("--format"), QStringLiteral("json")});
    QCOMPARE(r.status, 0);
    const QJsonArray adapters = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QCOMPARE(adapters.size(), 1);
    const QJsonObject a = adapters.first().toObject();
    QCOMPARE(a.value(QStringLiteral("name")).toString(), m_pair->interfaceName(NetNamespacePair::Near));
    QCOMPARE(a.value(QStringLiteral("ipv4")).toString(), QStringLiteral("198.18.0.1"));
    QVERIFY(a.value(QStringLiteral("chosen")).toBool());
}

void TestCli::searchFormats()
{
    Run r = cli({QStringLiteral("search"), QStringLiteral("--format"), QStringLiteral("json")});
    QCOMPARE(r.status, 0);
    const QJsonArray devices = QJsonDocument::fromJson(r.out.toUtf8()).array();
    // Device 5 answers after the search is over; device 6 is of another model.
    QCOMPARE(devices.size(), 4);
    QStringList macs;
    for (const QJsonValue& v : devices)
        macs << v.toObject().value(QStringLiteral("mac")).toString();
    QCOMPARE(macs, (QStringList{"02:00:00:00:00:01", "02:00:00:00:00:02", "02:00:00:00:00:03",
                                "02:00:00:00:00:04"}));
    const QJsonObject first = devices.first().toObject();
    for (const char* key : {"mac", "name", "type", "ipMode", "version", "ip", "gateway", "netmask", "dns1", "dns2",
                            "sn", "uid"})
        QVERIFY2(first.contains(QLatin1String(key)), key);
    QCOMPARE(first.value(QStringLiteral("ip")).toString(), QStringLiteral("198.18.1.1"));
    const QJsonObject others = first.value(QStringLiteral("others")).toObject();
    QVERIFY(others.contains(QStringLiteral("micVolume")));
    QVERIFY2(!others.contains(QStringLiteral("password")), "passwords stay out of the output");

    r = cli({QStringLiteral("search"), QStringLiteral("--any-model"), QStringLiteral("--format"), QStringLiteral("csv")});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
    // The slow device's late answer to the previous run's search (also id 0) may show up here.
    QVERIFY(lines.size() == 6 || lines.size() == 7);
    QVERIFY(lines.last().startsWith(QLatin1String("02:00:00:00:00:06,")));
    QVERIFY(lines.first().startsWith(QLatin1String("mac,ip,name,type")));

    r = cli({QStringLiteral("search")});
    QCOMPARE(r.status, 0);
    QVERIFY(r.out.contains(QLatin1String("02:00:00:00:00:03")));
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
}

void TestCli::setNameEndToEnd()
{
    const QString name = QStringLiteral("Hall \"A\" \\ 1");
    Run r = cli({QStringLiteral("set-name"), QStringLiteral("--device"), QStringLiteral("02-00-00-00-00-02"), name});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out.trimmed(), QStringLiteral("02:00:00:00:00:02  set-name  ok"));

    r = cli({QStringLiteral("search"), QStringLiteral("--format"), QStringLiteral("json")});
    const QJsonArray devices = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QCOMPARE(devices.at(1).toObject().value(QStringLiteral("name")).toString(), name);
}

void TestCli::settingsRoundTrips()
{
    const QString mac = QStringLiteral("02:00:00:00:00:03");
    Run r = cli({QStringLiteral("rtp-set"), QStringLiteral("--device"), mac, QStringLiteral("--channel"),
                 QStringLiteral("3=239.0.0.3:6000"), QStringLiteral("--channel"), QStringLiteral("10=239.0.0.10:6010")});
    QCOMPARE(r.status, 0);
    r = cli({QStringLiteral("rtp-get"), QStringLiteral("--device"), mac, QStringLiteral("--format"),
             QStringLiteral("json")});
    QCOMPARE(r.status, 0);
    QJsonObject values = QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("values")).toObject();
    QCOMPARE(values.value(QStringLiteral("channel3")).toString(), QStringLiteral("239.0.0.3:6000"));
    QCOMPARE(values.value(QStringLiteral("channel10")).toString(), QStringLiteral("239.0.0.10:6010"));
    QCOMPARE(values.value(QStringLiteral("channel1")).toString(), QString());

    // Only the fields given change; the rest of both accounts stays as the device had it.
    r = cli({QStringLiteral("sip-set"), QStringLiteral("--device"), mac, QStringLiteral("--account1"),
             QStringLiteral("101"), QStringLiteral("--server-host2"), QStringLiteral("pbx.example")});
    QCOMPARE(r.status, 0);
    r = cli({QStringLiteral("sip-get"), QStringLiteral("--device"), mac, QStringLiteral("--format"),
             QStringLiteral("json")});
    values = QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("values")).toObject();
    QCOMPARE(values.value(QStringLiteral("account1")).toString(), QStringLiteral("101"));
    QCOMPARE(values.value(QStringLiteral("server-host2")).toString(), QStringLiteral("pbx.example"));
    QCOMPARE(values.value(QStringLiteral("server-port1")).toString(), QStringLiteral("5060"));

    // The password from standard input, out of sight of ps.
    r = cli({QStringLiteral("set-account"), QStringLiteral("--device"), mac, QStringLiteral("tech"), QStringLiteral("-")},
            30000, "s3cret\n");
    QCOMPARE(r.status, 0);
    const QString last = loggedCommands().last();
    const QString sent = QStringLiteral(R"("account":"tech", "password":"33e1b232a4e6fa0028a6670753749a17")");
    QVERIFY2(last.contains(sent), qPrintable(last));
}

void TestCli::exitStatuses_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("no command") << QStringList{} << 2 << "usage";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << "unknown command";
    QTest::newRow("unknown device") << QStringList{"reboot", "--device", "02:00:00:00:09:99"} << 2
                                    << "no device 02:00:00:00:09:99";
    QTest::newRow("unknown adapter") << QStringList{"search", "--adapter", "nosuch0"} << 2 << "no Ethernet adapter";
    QTest::newRow("device fails") << QStringList{"play", "--device", "02:00:00:00:00:04"} << 1 << "failed";
    QTest::newRow("device too late") << QStringList{"play", "--device", "02:00:00:00:00:05", "--timeout", "4500"}
                                     << 1 << "no answer";
    QTest::newRow("device ok") << QStringList{"play", "--device", "02:00:00:00:00:01"} << 0 << "";
}

void TestCli::exitStatuses()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, errorPart);
    const Run r = cli(args);
    QCOMPARE(r.status, status);
    if (errorPart.isEmpty()) {
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    } else {
        QVERIFY2(r.err.contains(errorPart), qPrintable(r.err));
    }
    if (status != 0 && !args.isEmpty() && errorPart != QLatin1String("usage"))
        QCOMPARE(r.err.trimmed().count(QLatin1Char('\n')), 0); // one line
}

void TestCli::badUsageSendsNothing()
{
    const int before = loggedCommands().size();
    const QList<QStringList> bad = {
        {"set-ip", "--device", "02:00:00:00:00:01", "--ip", "192.168.001.1", "--gateway", "1.1.1.1", "--netmask",
         "255.0.0.0"},
        {"set-ip", "--device", "02:00:00:00:00:01"},
        {"set-name", "--device", "02:00:00:00:00:01"},
        {"set-name", "02:00:00:00:00:01", "x"},
        {"volume", "--device", "02:00:00:00:00:01", "--mic", "101"},
        {"rtp-set", "--device", "02:00:00:00:00:01", "--channel", "11=1.2.3.4:5"},
        {"search", "--format", "xml"},
        {"search", "--timeout", "soon"},
        // Values that would take a device off the network, or make two answer as one.
        {"set-ip", "--device", "02:00:00:00:00:01", "--ip", "198.18.1.40", "--netmask", "255.0.255.0"},
        {"set-ip", "--device", "02:00:00:00:00:01", "--ip", "198.18.1.40", "--gateway", "10.0.0.1"},
        {"set-ip", "--device", "02:00:00:00:00:01,02:00:00:00:00:02", "--ip", "192.168.1.254", "--netmask",
         "255.255.255.0", "--gateway", "192.168.1.1"},
        {"set-mac", "--device", "02:00:00:00:00:01", "02:00:00:00:00:zz"},
        {"set-mac", "--device", "02:00:00:00:00:01", "01:00:5e:00:00:01"},
        {"set-mac", "--device", "02:00:00:00:00:01", "02-00-00-00-00-02"},
        {"rtp-set", "--device", "02:00:00:00:00:01", "--channel", "1=hello"},
        {"rtp-set", "--device", "02:00:00:00:00:01", "--channel", "1=239.1.1.1:0"},
        {"sip-set", "--device", "02:00:00:00:00:01", "--server-port1", "99999"},
    };
    for (const QStringList& args : bad) {
        const Run r = cli(args);
        QVERIFY2(r.status == 2, qPrintable(args.join(QLatin1Char(' '))));
        QVERIFY2(r.err.startsWith(QLatin1String("orvane-cli: ")), qPrintable(r.err));
    }
    // An address another listed device holds: refused unless skipped, nothing sent.
    const Run taken = cli({"set-ip", "--device", "02:00:00:00:00:01", "--ip", "198.18.1.2"});
    QCOMPARE(taken.status, 1);
    QVERIFY2(taken.err.contains(QLatin1String("198.18.1.2 for 02:00:00:00:00:01 is held by 02:00:00:00:00:02")),
             qPrintable(taken.err));
    QCOMPARE(loggedCommands().size(), before);
}

void TestCli::batchesCountUpInMacOrder()
{
    // Given out of order, handled in MAC order; addresses carry into the next byte.
    Run r = cli({QStringLiteral("set-ip"), QStringLiteral("--device"), QStringLiteral("02:00:00:00:00:03"),
                 QStringLiteral("--device"), QStringLiteral("02:00:00:00:00:01,02:00:00:00:00:02"),
                 QStringLiteral("--ip"), QStringLiteral("198.18.7.254"), QStringLiteral("--gateway"),
                 QStringLiteral("198.18.0.254"), QStringLiteral("--netmask"), QStringLiteral("255.254.0.0")});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QStringLiteral("02:00:00:00:00:01  set-ip  198.18.7.254  ok\n"
                                   "02:00:00:00:00:02  set-ip  198.18.7.255  ok\n"
                                   "02:00:00:00:00:03  set-ip  198.18.8.0  ok\n"));

    // A failing device in the middle neither stops nor shifts the sequence.
    r = cli({QStringLiteral("set-mac"), QStringLiteral("--device"),
             QStringLiteral("02:00:00:00:00:04,02:00:00:00:00:02,02:00:00:00:00:03"),
             QStringLiteral("06:1A:2B:3C:4D:FE")});
    QCOMPARE(r.status, 1);
    QCOMPARE(r.out, QStringLiteral("02:00:00:00:00:02  set-mac  06:1a:2b:3c:4d:fe  ok\n"
                                   "02:00:00:00:00:03  set-mac  06:1a:2b:3c:4d:ff  ok\n"
                                   "02:00:00:00:00:04  set-mac  06:1a:2b:3c:4e:00  failed\n"));
    QVERIFY(r.err.contains(QLatin1String("02:00:00:00:00:04")));

    r = cli({QStringLiteral("search"), QStringLiteral("--format"), QStringLiteral("csv")});
    QVERIFY2(r.out.contains(QLatin1String("06:1a:2b:3c:4d:fe,198.18.7.255")), qPrintable(r.out));

    // --all takes every accepted device found: the slow one too, with a search long enough for it.
    r = cli({QStringLiteral("play"), QStringLiteral("--all"), QStringLiteral("--timeout"), QStringLiteral("4500")});
    QCOMPARE(r.status, 1); // device 4 fails every command, device 5 answers too late
    QCOMPARE(r.out.count(QLatin1Char('\n')), 5);
    QCOMPARE(r.out.count(QLatin1String("  ok\n")), 3);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
