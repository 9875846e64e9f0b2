// Provisioning plans: parsing, what counts as a change, and apply/check/idempotence
// through orvane-cli and the Ansible module against emulated devices.
#include "EmulatedSegment.h"
#include "NetNamespacePair.h"
#include "ProvisioningPlan.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestPlans : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void changes_data();
    void changes();
    void applyAgainstDevices();
    void ansibleModule();

private:
    bool startSegment();
    // Runs a program in the near namespace; its standard output, exit status in *status.
    QByteArray runNear(const QString& program, const QStringList& args, int* status,
                       const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    QByteArray cli(const QStringList& args, int* status);
    QString writeFile(const QString& name, const QByteArray& content);
    int settingCommands() const;

    std::unique_ptr<NetNamespacePair> m_pair;
    std::unique_ptr<EmulatedSegment> m_segment;
    QTemporaryDir m_dir;
};

void TestPlans::parse_data()
{
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("error"); // a part of the first error, empty when accepted

    QTest::newRow("csv, empty cells leave as is")
        << QByteArray("mac,name,ip\r\n02:00:00:00:00:01,Hall,\r\n02:00:00:00:00:02,,198.18.1.9\r\n") << 2 << "";
    QTest::newRow("csv quoting") << QByteArray("mac,name\n02:00:00:00:00:01,\"Hall, \"\"east\"\"\"\n") << 1 << "";
    QTest::newRow("read-only columns of an export") << QByteArray("mac,uid,version,name\n02:00:00:00:00:01,U1,1.0,Hall\n")
                                                    << 1 << "";
    QTest::newRow("json array, numbers") << QByteArray(R"([{"mac":"02:00:00:00:00:01","mic_volume":7}])") << 1 << "";
    QTest::newRow("json with version") << QByteArray(R"({"version":1,"devices":[{"mac":"02-00-00-00-00-01"}]})") << 1
                                       << "";
    QTest::newRow("unknown column named") << QByteArray("mac,nmae\n02:00:00:00:00:01,Hall\n") << 0 << "\"nmae\"";
    QTest::newRow("mac twice") << QByteArray("mac,name\n02:00:00:00:00:01,A\n02-00-00-00-00-01,B\n") << 0
                               << "row 3";
    QTest::newRow("no mac column") << QByteArray("name\nHall\n") << 0 << "no mac";
    QTest::newRow("multicast mac") << QByteArray("mac\n01:00:5e:00:00:01\n") << 0 << "multicast";
    QTest::newRow("bad address") << QByteArray("mac,gateway\n02:00:00:00:00:01,198.18.1\n") << 0 << "gateway";
    QTest::newRow("rtp without port") << QByteArray("mac,rtp3\n02:00:00:00:00:01,239.1.1.1\n") << 0 << "rtp3";
    QTest::newRow("sip port range") << QByteArray("mac,sip2_port\n02:00:00:00:00:01,99999\n") << 0 << "sip2_port";
    QTest::newRow("volume range") << QByteArray("mac,out_volume\n02:00:00:00:00:01,101\n") << 0 << "out_volume";
    QTest::newRow("unclosed quote") << QByteArray("mac,name\n02:00:00:00:00:01,\"Hall\n") << 0 << "quoted";
    QTest::newRow("unknown version") << QByteArray(R"({"version":9,"devices":[]})") << 0 << "version 9";
    QTest::newRow("empty") << QByteArray("mac\n") << 0 << "no device";
}

void TestPlans::parse()
{
    QFETCH(QByteArray, plan);
    QFETCH(int, rows);
    QFETCH(QString, error);
    ProvisioningPlan p;
    QStringList errors;
    QCOMPARE(p.parse(plan, &errors), error.isEmpty());
    if (error.isEmpty())
        QCOMPARE(p.rows().size(), rows);
    else
        QVERIFY2(errors.first().contains(error), qPrintable(errors.join(QLatin1Char('\n'))));
}

void TestPlans::changes_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("planned");
    QTest::addColumn<bool>("changed");
    QTest::newRow("same name") << "name" << "Hall" << "Hall" << false;
    QTest::newRow("name differs in case") << "name" << "Hall" << "hall" << true;
    QTest::newRow("mode in any case") << "ip_mode" << "dhcp" << "DHCP" << false;
    QTest::newRow("volume as number") << "mic_volume" << "7" << "07" << false;
    QTest::newRow("volume unknown") << "mic_volume" << "" << "0" << true;
    // The device keeps the digest of its web password.
    QTest::newRow("web password digest") << "web_password" << "21232f297a57a5a743894a0e4a801fc3" << "admin" << false;
    QTest::newRow("web password other") << "web_password" << "21232f297a57a5a743894a0e4a801fc3" << "admin2" << true;
    QTest::newRow("rtp off") << "rtp2" << "off" << "OFF" << false;
}

void TestPlans::changes()
{
    QFETCH(QString, column);
    QFETCH(QString, current);
    QFETCH(QString, planned);
    QFETCH(bool, changed);
    ProvisioningPlan::Row row;
    row.values.insert(column, planned);
    QCOMPARE(ProvisioningPlan::changes(row, {{column, current}}).size(), changed ? 1 : 0);
}

bool TestPlans::startSegment()
{
    if (m_segment)
        return true;
    m_pair.reset(new NetNamespacePair);
    if (!m_pair->ok())
        return false;
    m_segment.reset(new EmulatedSegment);
    QString error;
    if (!m_segment->start(*m_pair, "[]", 3, &error)) {
        qWarning("%s", qPrintable(error));
        m_segment.reset();
        return false;
    }
    return true;
}

QByteArray TestPlans::runNear(const QString& program, const QStringList& args, int* status,
                              const QProcessEnvironment& env)
{
    QProcess p;
    QProcessEnvironment e = env;
    e.insert(QStringLiteral("HOME"), m_dir.path());
    e.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    p.setProcessEnvironment(e);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("ip"), QStringList{QStringLiteral("netns"), QStringLiteral("exec"),
                                              m_pair->namespaceName(NetNamespacePair::Near), program} +
                                      args);
    if (!p.waitForFinished(120000))
        p.kill();
    *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

QByteArray TestPlans::cli(const QStringList& args, int* status)
{
    return runNear(QStringLiteral(ORVANE_CLI_PATH),
                   args + QStringList{QStringLiteral("--adapter"), m_pair->interfaceName(NetNamespacePair::Near),
                                      QStringLiteral("--timeout"), QStringLiteral("700")},
                   status);
}

QString TestPlans::writeFile(const QString& name, const QByteArray& content)
{
    QFile f(m_dir.filePath(name));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(content);
    return f.fileName();
}

int TestPlans::settingCommands() const
{
    int n = 0;
    for (const ReceivedCommand& c : m_segment->commands())
        n += c.method().startsWith(QLatin1String("Set")) ? 1 : 0;
    return n;
}

// Guards apply's promises: check mode sends nothing, only differing values are
// sent, a second run sends no setting command, and a bad plan sends nothing.
void TestPlans::applyAgainstDevices()
{
    ORVANE_REQUIRE_NETNS();
    QVERIFY(startSegment());
    const QString plan = writeFile(
        QStringLiteral("plan.csv"),
        "mac,name,ip,rtp1,sip1_account,web_password\n"
        "02:00:00:00:00:01,Hall,198.18.1.50,239.1.1.1:5004,1001,s3cret\n"
        "02:00:00:00:00:02,Device 2,,,,\n"
        "02:00:00:00:00:09,Ghost,,,,\n");
    int status = -1;
    QByteArray out = cli({QStringLiteral("apply"), plan, QStringLiteral("--check"), QStringLiteral("--diff")}, &status);
    QCOMPARE(status, 1); // the ghost is missing
    QVERIFY2(out.contains("02:00:00:00:00:01 changed (ip, name, rtp1, sip1_account, web_password)"), out);
    QVERIFY2(out.contains("  web_password: *** -> ***"), out);
    QVERIFY2(out.contains("02:00:00:00:00:02 unchanged"), out);
    QVERIFY2(out.contains("02:00:00:00:00:09 missing"), out);
    QCOMPARE(settingCommands(), 0);

    out = cli({QStringLiteral("apply"), plan}, &status);
    QCOMPARE(status, 1);
    QVERIFY2(out.contains("02:00:00:00:00:01 changed"), out);
    const int sent = settingCommands();
    QCOMPARE(sent, 5); // name, web account, SIP, RTP, address: one each

    out = cli({QStringLiteral("apply"), plan, QStringLiteral("--format"), QStringLiteral("json")}, &status);
    const QJsonArray devices = QJsonDocument::fromJson(out).object().value(QStringLiteral("devices")).toArray();
    QCOMPARE(devices.size(), 3);
    QCOMPARE(devices.at(0).toObject().value(QStringLiteral("outcome")).toString(), QStringLiteral("unchanged"));
    QCOMPARE(settingCommands(), sent);

    // Device 3 already holds 198.18.1.3: the whole plan is refused before any frame.
    const QString clash = writeFile(QStringLiteral("clash.csv"), "mac,name,ip\n02:00:00:00:00:02,X,198.18.1.3\n");
    out = cli({QStringLiteral("apply"), clash}, &status);
    QCOMPARE(status, 2);
    QCOMPARE(settingCommands(), sent);
}

// The module reports changed truthfully, changes nothing in check mode and
// nothing on a second run.
void TestPlans::ansibleModule()
{
    ORVANE_REQUIRE_NETNS();
    const QString playbook = QStandardPaths::findExecutable(QStringLiteral("ansible-playbook"));
    if (playbook.isEmpty()) {
        if (NetNamespacePair::requiredByEnvironment())
            QFAIL("ansible-playbook is not installed (tools/install-deps.sh installs ansible-core)");
        QSKIP("ansible-playbook is not installed");
    }
    QVERIFY(startSegment());
    const QString play = writeFile(
        QStringLiteral("play.yml"),
        QStringLiteral("- hosts: localhost\n"
                       "  gather_facts: false\n"
                       "  tasks:\n"
                       "    - orvane_plan:\n"
                       "        cli: %1\n"
                       "        adapter: %2\n"
                       "        timeout: 700\n"
                       "        plan:\n"
                       "          - mac: \"02:00:00:00:00:03\"\n"
                       "            name: Gate\n"
                       "            mic_volume: 9\n")
            .arg(QStringLiteral(ORVANE_CLI_PATH), m_pair->interfaceName(NetNamespacePair::Near))
            .toUtf8());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ANSIBLE_LIBRARY"), QStringLiteral(ORVANE_SOURCE_DIR "/contrib/ansible/library"));
    env.insert(QStringLiteral("ANSIBLE_LOCAL_TEMP"), m_dir.filePath(QStringLiteral("ansible")));
    env.insert(QStringLiteral("ANSIBLE_NOCOLOR"), QStringLiteral("1"));
    const QStringList base{QStringLiteral("-i"), QStringLiteral("localhost,"), QStringLiteral("-c"),
                           QStringLiteral("local"), play};
    const int before = settingCommands();
    int status = -1;
    QByteArray out = runNear(playbook, base + QStringList{QStringLiteral("--check")}, &status, env);
    QVERIFY2(status == 0 && out.contains("changed=1"), out);
    QCOMPARE(settingCommands(), before);
    out = runNear(playbook, base, &status, env);
    QVERIFY2(status == 0 && out.contains("changed=1"), out);
    QCOMPARE(settingCommands(), before + 2);
    out = runNear(playbook, base, &status, env);
    QVERIFY2(status == 0 && out.contains("changed=0"), out);
    QCOMPARE(settingCommands(), before + 2);
}

QTEST_GUILESS_MAIN(TestPlans)
#include "tst_plans.moc"
