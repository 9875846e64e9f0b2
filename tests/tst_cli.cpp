// orvane-cli against emulated devices across a veth pair: exit statuses, usage
// errors found before any search, the JSON shape, secrets from standard input
// and files, searches that end when the named devices have answered, batches.
#include "CliRunner.h"
#include "EmulatedSegment.h"

#include <QStandardPaths>
#include <QtTest>

using namespace orvane;

namespace {
const QString Mac1 = EmulatedSegment::deviceMac(1);
const QString Mac3 = EmulatedSegment::deviceMac(3);
const QString Mac4 = EmulatedSegment::deviceMac(4); // fails every command
// Long enough to fail the run if a search for named devices did not end early.
const QStringList LongSearch{"--timeout", "20000"};
const QStringList ShortSearch{"--timeout", "600"};

QJsonObject device(const CliRun& r, int i)
{
    return r.json().value("devices").toArray().at(i).toObject();
}
} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        ORVANE_REQUIRE_NETNS();
        m_pair.reset(new NetNamespacePair);
        QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
        QString error;
        // Devices 1 to 3 well-behaved, 4 fails every command, 5 of another model.
        QVERIFY2(
            m_segment.start(*m_pair, R"([{}, {}, {}, {"misbehave":{"fail":true}}, {"type":"XYZ9"}])", 0, &error),
            qPrintable(error));
    }
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("errorPart");
        QTest::addColumn<bool>("searches"); // the fault is one only a search can show
        // Arguments split at blanks; M is device 1.
        auto row = [](const char* name, const char* args, int status, const char* error, bool searches = false) {
            QTest::newRow(name) << QString(args).replace("M", Mac1).split(' ', Qt::SkipEmptyParts) << status
                                << QString(error) << searches;
        };
        row("no command", "", 2, "usage: orvane-cli");
        row("mistyped command", "set-nmae", 2, "(did you mean set-name?)");
        row("mistyped option", "play --devise M", 2, "(did you mean --device?)");
        row("malformed MAC", "play --device 02:00:00:00:00:0g", 2, "not a MAC");
        row("malformed address", "set-ip --device M --ip 192.168.001.1", 2, "--ip is not an address");
        row("set-ip without mode", "set-ip --device M", 2, "--dhcp or --ip");
        row("no target", "set-name M x", 2, "--device MAC... or --all");
        row("volume range", "volume --device M --mic 101", 2, "0 to 100");
        row("rtp channel", "rtp-set --device M --channel 11=1.2.3.4:5", 2, "from 1 to 10");
        row("rtp endpoint", "rtp-set --device M --channel 1=239.1.1.1:0", 2, "--channel 1=");
        row("sip port", "sip-set --device M --server-port1 99999", 2, "1 to 65535");
        row("password file", "set-account --device M tech --password-file /nonexistent", 2,
            "cannot read the password");
        row("format", "search --format xml", 2, "--format");
        row("unknown adapter", "search --adapter nosuch0", 2, "no Ethernet adapter");
        row("export argument", "export x", 2, "export takes no arguments");
        row("adapters argument", "adapters x", 2, "adapters takes no arguments");
        row("search argument", "search x", 2, "search takes no arguments");
        row("password and its file", "sip-set --device M --password1 p --password1-file /dev/null", 2,
            "--password1 and --password1-file both give the password");
        row("two passwords from stdin", "sip-set --device M --password1 - --password2 -", 2, "only one password");
        row("arguments", "set-name --device M a b", 2, "set-name takes 1 argument(s)");
        row("multicast MAC", "set-mac --device M 01:00:5e:00:00:01", 2, "is a multicast MAC address");
        row("empty password", "set-account --device M tech --password-file /dev/null", 2, "non-empty password");
        row("no volume", "volume --device M", 2, "volume needs --mic, --out or --auto-mute");
        row("rtp clear", "rtp-set --device M --clear 11", 2, "--clear needs a channel");
        row("rtp nothing", "rtp-set --device M", 2, "rtp-set needs --channel or --clear");
        row("plan unreadable", "apply /nonexistent", 2, "cannot read /nonexistent");
        row("plan invalid", "apply /dev/null", 2, "plan: ");
        row("firmware without file", "firmware --device M", 2, "firmware takes one FILE");
        row("firmware file", "firmware --device M /nonexistent", 2, "/nonexistent");
        row("firmware timeout", "firmware --device M --http-timeout soon f", 2, "--http-timeout");
        // Values that would take a device off the network, or make two answer as one.
        row("unknown device", "reboot --device 02:00:00:00:09:99 --timeout 600", 2, "no device 02:00:00:00:09:99",
            true);
        row("netmask", "set-ip --device M --ip 198.18.1.40 --netmask 255.0.255.0 --timeout 600", 2,
            "nothing was sent", true);
        row("gateway", "set-ip --device M --ip 198.18.1.40 --gateway 10.0.0.1 --timeout 600", 2,
            "nothing was sent", true);
        row("batch past subnet",
            "set-ip --device M,02:00:00:00:00:02 --ip 192.168.1.254 --netmask 255.255.255.0 --gateway 192.168.1.1 "
            "--timeout 600",
            2, "nothing was sent", true);
        row("MAC held", "set-mac --device M 02-00-00-00-00-02 --timeout 600", 2, "held by", true);
        row("address held", "set-ip --device M --ip 198.18.1.2 --timeout 600", 1,
            "198.18.1.2 for 02:00:00:00:00:01 is held by 02:00:00:00:00:02", true);
    }
    // Bad input is refused with exit 2 (1 for a taken address) and sends nothing;
    // what needs no search is found before one.
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, errorPart);
        QFETCH(bool, searches);
        const int frames = m_segment.commands().size();
        const int searchesBefore = count("search");
        const CliRun r = cli(args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(errorPart), qPrintable(r.err));
        QVERIFY2(r.err.startsWith(QLatin1String(args.isEmpty() ? "usage: " : "orvane-cli")), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(m_segment.commands().size() - frames, count("search") - searchesBefore);
        if (!searches)
            QCOMPARE(count("search"), searchesBefore);
    }
    // Every JSON document carries the version and the command, and each device the
    // same fields with typed values; passwords and raw protocol keys stay out.
    void jsonShape()
    {
        CliRun r = cli(QStringList{"search", "--format", "json"} + ShortSearch);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err)); // no library chatter without --verbose
        QCOMPARE(r.json().value("version").toInt(), 1);
        QCOMPARE(r.json().value("command").toString(), "search");
        QCOMPARE(r.json().value("devices").toArray().size(), 4); // device 5 is of another model
        const QJsonObject first = device(r, 0);
        QCOMPARE(first.value("mac").toString(), Mac1);
        QCOMPARE(first.value("outcome").toString(), QStringLiteral("listed"));
        QCOMPARE(first.value("ip").toString(), EmulatedSegment::deviceIp(1));
        QVERIFY(first.value("detail").isString() && first.value("mic_volume").isDouble());
        QVERIFY(first.value("auto_mute").isDouble() && first.value("out_volume").isDouble());
        for (const QString& key : first.keys())
            QVERIFY2(!key.contains(QLatin1String("pass")) && key != QLatin1String("others"), qPrintable(key));

        // A failing device in a batch: reported in the same shape, exit 1, the others done.
        r = cli(QStringList{"play", "--device", Mac4 + QLatin1Char(',') + Mac1, "--format", "json"} + LongSearch);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.ms < 10000, "a search for named devices ends when they have answered");
        QCOMPARE(r.json().value("devices").toArray().size(), 2);
        QCOMPARE(device(r, 0).value("outcome").toString(), "ok");
        QCOMPARE(device(r, 1).value("mac").toString(), Mac4);
        QCOMPARE(device(r, 1).value("outcome").toString(), "failed");
        QCOMPARE(r.err.trimmed(), QString("orvane-cli play: %1: failed").arg(Mac4));

        r = cli({"adapters", "--format", "json"});
        const QJsonObject adapter = r.json().value("adapters").toArray().first().toObject();
        QCOMPARE(adapter.value("name").toString(), m_pair->interfaceName(NetNamespacePair::Near));
        QVERIFY(adapter.value("chosen").toBool());

        // Without capture rights: a status of its own and the command that grants them.
        const QString capsh = QStandardPaths::findExecutable("capsh", {"/usr/sbin", "/sbin"});
        if (capsh.isEmpty())
            QSKIP("capsh is not installed");
        r = runNear(*m_pair, m_dir.path(),
                    {"--drop=cap_net_raw,cap_net_admin", "--", "-c", ORVANE_CLI_PATH " search"}, {}, capsh);
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.contains("setcap cap_net_raw,cap_net_admin=eip"), qPrintable(r.err));
    }
    // Values set are read back; only the fields given change; passwords come from
    // standard input or a file, never from the arguments ps shows.
    void settingsAndSecrets()
    {
        const QString name = QStringLiteral("Hall \"A\" \\ 1");
        CliRun r = cli(QStringList{"set-name", "--device", "02-00-00-00-00-02", name} + LongSearch);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, "02:00:00:00:00:02  set-name  ok\n");
        QVERIFY2(r.ms < 10000, "a search for named devices ends when they have answered");
        QCOMPARE(m_segment.commands("SetName").last().value("name"), name);

        r = cli({"rtp-set", "--device", Mac3, "--channel", "3=239.0.0.3:6000", "--clear", "10"});
        QCOMPARE(r.status, 0);
        r = cli({"rtp-get", "--device", Mac3, "--format", "json"});
        QJsonObject values = device(r, 0).value("values").toObject();
        QCOMPARE(values.value("channel3").toString(), "239.0.0.3:6000");
        QCOMPARE(values.value("channel10").toString(), QString());

        QFile file(m_dir.filePath("sip2"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("from-file\n") > 0);
        file.close();
        r = cli({"sip-set", "--device", Mac3, "--account1", "101", "--password1", "-", "--password2-file",
                 file.fileName()},
                "from-stdin\n");
        QCOMPARE(r.status, 0);
        r = cli({"sip-get", "--device", Mac3, "--format", "json"});
        values = device(r, 0).value("values").toObject();
        QCOMPARE(values.value("account1").toString(), "101");
        QCOMPARE(values.value("password1").toString(), "from-stdin");
        QCOMPARE(values.value("password2").toString(), "from-file");
        QCOMPARE(values.value("server-port1").toInt(), 5060); // kept, and a number

        r = cli({"set-account", "--device", Mac3, "tech", "-"}, "s3cret\n");
        QCOMPARE(r.status, 0);
        const ReceivedCommand sent = m_segment.commands("SetAccountPassword").last();
        QCOMPARE(sent.value("account"), "tech");
        QCOMPARE(sent.value("password"), "33e1b232a4e6fa0028a6670753749a17");
    }
    void batchesCountUpInMacOrder()
    {
        // Given out of order, handled in MAC order; addresses carry into the next byte.
        CliRun r =
            cli(QStringList{"set-ip", "--device", Mac3, "--device", "02:00:00:00:00:01,02:00:00:00:00:02", "--ip",
                            "198.18.7.254", "--gateway", "198.18.0.254", "--netmask", "255.254.0.0"} +
                ShortSearch);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("02:00:00:00:00:01  set-ip  198.18.7.254  ok\n"
                                       "02:00:00:00:00:02  set-ip  198.18.7.255  ok\n"
                                       "02:00:00:00:00:03  set-ip  198.18.8.0  ok\n"));

        // A failing device in the middle neither stops nor shifts the sequence.
        r = cli(QStringList{"set-mac", "--device", "02:00:00:00:00:04,02:00:00:00:00:02,02:00:00:00:00:03",
                            "06:1A:2B:3C:4D:FE"} +
                ShortSearch);
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out, QStringLiteral("02:00:00:00:00:02  set-mac  06:1a:2b:3c:4d:fe  ok\n"
                                       "02:00:00:00:00:03  set-mac  06:1a:2b:3c:4d:ff  ok\n"
                                       "02:00:00:00:00:04  set-mac  06:1a:2b:3c:4e:00  failed\n"));

        r = cli(QStringList{"search", "--any-model", "--format", "csv"} + ShortSearch);
        QVERIFY2(r.out.contains(QLatin1String("06:1a:2b:3c:4d:fe,198.18.7.255")), qPrintable(r.out));
        QCOMPARE(r.out.count('\n'), 6); // the header and all five
        QVERIFY(cli({"adapters"}).out.contains(m_pair->interfaceName(NetNamespacePair::Near)));

        // A plan step the device refuses is named, and why.
        QFile plan(m_dir.filePath("plan.csv"));
        QVERIFY(plan.open(QIODevice::WriteOnly) && plan.write(("mac,name,sip1_account\n" + Mac4 + ",X,7\n").toUtf8()) > 0);
        plan.close();
        r = cli(QStringList{"apply", plan.fileName()} + ShortSearch);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains("reading the SIP accounts: the device refused it"), qPrintable(r.out));

        // --all takes every accepted device the search finds.
        r = cli(QStringList{"play", "--all"} + ShortSearch);
        QCOMPARE(r.status, 1); // device 4 fails every command
        QCOMPARE(r.out.count(QLatin1String("  ok\n")), 3);
        QCOMPARE(r.out.count(QLatin1String("  failed\n")), 1);
    }

private:
    CliRun cli(const QStringList& args, const QByteArray& input = QByteArray());
    int count(const QString& method) const { return m_segment.commands(method).size(); }

    std::unique_ptr<NetNamespacePair> m_pair;
    EmulatedSegment m_segment;
    QTemporaryDir m_dir;
};

CliRun TestCli::cli(const QStringList& args, const QByteArray& input)
{
    return runNear(*m_pair, m_dir.path(), args, input);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
