#pragma once

// A segment of emulated devices for the tests and benchmarks: the device
// emulator runs as its own program in the far namespace of a pair, and the
// command set opens the near end with its capture threads inside the near
// namespace. The one place that starts the emulator and knows its address
// scheme: device k (1-based) has the MAC 02:00:00:00:HH:LL (k = 0xHHLL) and
// the address 198.18.1.k, counting on through the /15 test range.
// Header-only; a target that starts the emulator defines ORVANE_EMULATOR_PATH
// (without it, the emulator is looked for beside the program).

#include "Adapter.h"
#include "DeviceRecord.h"
#include "NetNamespacePair.h"
#include "ProtocolClient.h"
#include "RawPacketSocket.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

namespace orvane {

struct ReceivedCommand
{
    QString destination;
    QJsonObject json;
    QString method() const { return json.value(QStringLiteral("method")).toString(); }
    QString value(const char* key) const { return json.value(QLatin1String(key)).toString(); }
};

class EmulatedSegment
{
public:
    ~EmulatedSegment() { stop(); }

    // Starts the emulator with the devices of config (a JSON array) followed by
    // `generated` generated ones, and extra emulator arguments; false with error
    // when it does not come up. With "--web", every device's address is put on
    // the far end first, so that its web interface can bind to it.
    bool start(const NetNamespacePair& pair, const QByteArray& config, int generated, QString* error,
               const QStringList& extraArguments = {})
    {
        stop();
        if (!m_dir.isValid()) {
            *error = QStringLiteral("no temporary directory");
            return false;
        }
        const QString configPath = m_dir.filePath(QStringLiteral("devices.json"));
        const QString readyPath = m_dir.filePath(QStringLiteral("ready"));
        QFile::remove(readyPath);
        QFile file(configPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config) != config.size() ||
            !file.flush()) {
            *error = QStringLiteral("cannot write %1").arg(configPath);
            return false;
        }
        const int devices = QJsonDocument::fromJson(config).array().size() + generated;
        if (extraArguments.contains(QStringLiteral("--web")) && !addDeviceAddresses(pair, devices, error))
            return false;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("ip"),
                        QStringList{QStringLiteral("netns"), QStringLiteral("exec"),
                                    pair.namespaceName(NetNamespacePair::Far), emulatorPath(),
                                    QStringLiteral("--interface"), pair.interfaceName(NetNamespacePair::Far),
                                    QStringLiteral("--config"), configPath, QStringLiteral("--devices"),
                                    QString::number(generated), QStringLiteral("--log"), logPath(),
                                    QStringLiteral("--ready-file"), readyPath} +
                            extraArguments);
        if (!m_process.waitForStarted()) {
            *error = QStringLiteral("the emulator did not start: %1").arg(m_process.errorString());
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(readyPath) && m_process.state() == QProcess::Running && timer.elapsed() < 15000)
            m_process.waitForFinished(20);
        if (!QFile::exists(readyPath)) {
            *error = QStringLiteral("the emulator did not come up (%1)").arg(emulatorPath());
            return false;
        }
        const QString notStarted = notes().filter(QStringLiteral("not started")).join(QLatin1Char('\n'));
        if (!notStarted.isEmpty()) {
            *error = notStarted;
            return false;
        }
        return true;
    }

    bool stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return false;
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(1000);
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    QString logPath() const { return m_dir.filePath(QStringLiteral("emulator.log")); }

    QList<ReceivedCommand> commands() const
    {
        QList<ReceivedCommand> out;
        for (const QByteArray& line : logLines()) {
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const int first = line.indexOf(' ');
            const int second = line.indexOf(' ', first + 1);
            if (first < 0 || second < 0)
                continue;
            out.append({QString::fromLatin1(line.mid(first + 1, second - first - 1)),
                        QJsonDocument::fromJson(line.mid(second + 1)).object()});
        }
        return out;
    }

    QList<ReceivedCommand> commands(const QString& method) const
    {
        QList<ReceivedCommand> out = commands();
        out.erase(std::remove_if(out.begin(), out.end(),
                                 [&](const ReceivedCommand& c) { return c.method() != method; }),
                  out.end());
        return out;
    }

    // What the emulator noted besides commands (web logins, uploads, ignored
    // frames), in order and without the "# <time> " in front.
    QStringList notes() const
    {
        QStringList out;
        for (const QByteArray& line : logLines()) {
            const int text = line.indexOf(' ', 2);
            if (line.startsWith("# ") && text > 0)
                out << QString::fromUtf8(line.mid(text + 1));
        }
        return out;
    }

    static QString emulatorPath()
    {
#ifdef ORVANE_EMULATOR_PATH
        if (QFile::exists(QStringLiteral(ORVANE_EMULATOR_PATH)))
            return QStringLiteral(ORVANE_EMULATOR_PATH);
#endif
        return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("orvane-emulator"));
    }

    // The MAC text and the address of the emulator's k-th device (1-based).
    static QString deviceMac(int k)
    {
        return QString::asprintf("02:00:00:00:%02x:%02x", (k >> 8) & 0xff, k & 0xff);
    }
    static QString deviceIp(int k)
    {
        const int host = 256 + k;
        return QString::asprintf("198.%d.%d.%d", 18 + ((host >> 16) & 1), (host >> 8) & 0xff, host & 0xff);
    }

    // A record of device k as a search makes it; the caller releases it.
    static DeviceRecord* deviceRecord(int k, const QString& account = QStringLiteral("admin"),
                                      const QString& password = QStringLiteral("admin"))
    {
        DeviceRecord* d = DeviceRecord::create();
        d->setMac(deviceMac(k));
        d->setMacText(deviceMac(k));
        d->setIp(deviceIp(k));
        const QStringList o = deviceIp(k).split(QLatin1Char('.'));
        const uint8_t ip[4] = {uint8_t(o[0].toInt()), uint8_t(o[1].toInt()), uint8_t(o[2].toInt()), uint8_t(o[3].toInt())};
        d->setIpBytes(ip);
        d->setAccount(account);
        d->setPassword(password);
        return d;
    }

    // A pair, made once per test program, whose near namespace routes
    // multicast over its loopback: for the broadcast tests.
    static bool prepareNamespace(std::unique_ptr<NetNamespacePair>& pair)
    {
        if (pair)
            return pair->ok();
        pair.reset(new NetNamespacePair);
        return pair->ok() && pair->ip(NetNamespacePair::Near, {"link", "set", "lo", "multicast", "on"}) &&
               pair->ip(NetNamespacePair::Near, {"route", "add", "224.0.0.0/4", "dev", "lo"});
    }

    static bool nearAdapter(const NetNamespacePair& pair, Adapter* adapter, QString* error)
    {
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
        RawPacketSocket probe;
        if (!scope.ok() || !probe.open(pair.interfaceName(NetNamespacePair::Near))) {
            *error = QStringLiteral("cannot open the near interface: %1").arg(probe.lastError());
            return false;
        }
        Adapter::setText(adapter->pcapName, pair.interfaceName(NetNamespacePair::Near).toUtf8().constData());
        Adapter::setText(adapter->description, "test wire");
        memcpy(adapter->address, probe.mac().constData(), 6);
        memcpy(adapter->ip, "\xc6\x12\x00\x01", 4); // 198.18.0.1
        memcpy(adapter->mask, "\xff\xff\xff\x00", 4);
        return true;
    }

    static bool openNear(ProtocolClient& client, const NetNamespacePair& pair, QString* error)
    {
        Adapter adapter;
        if (!nearAdapter(pair, &adapter, error))
            return false;
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
        client.open(&adapter);
        return true;
    }

    // Searches in short rounds until done(records) holds, each round twice as
    // long as the one before (up to 3 s), for at most 20 s: a test waits only
    // as long as the devices need to answer, and a busy machine costs a round
    // more rather than a failure. The caller releases the records.
    static QList<DeviceRecord*> searchUntil(ProtocolClient& client,
                                            const std::function<bool(const QList<DeviceRecord*>&)>& done,
                                            int firstRoundMs = 150)
    {
        QList<DeviceRecord*> found;
        QElapsedTimer timer;
        timer.start();
        for (int round = firstRoundMs;; round = qMin(2 * round, 3000)) {
            client.search(found, round, false);
            if (done(found) || timer.elapsed() > 20000)
                return found;
            for (DeviceRecord* d : qAsConst(found))
                d->release();
        }
    }

private:
    QList<QByteArray> logLines() const
    {
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return log.readAll().split('\n');
    }

    static bool ipBatch(const QString& ns, const QStringList& lines, QString* error)
    {
        QProcess ip;
        ip.setProcessChannelMode(QProcess::MergedChannels);
        ip.start(QStringLiteral("ip"), {"-n", ns, "-batch", "-"});
        ip.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
        ip.closeWriteChannel();
        if (ip.waitForFinished(30000) && ip.exitStatus() == QProcess::NormalExit && ip.exitCode() == 0)
            return true;
        *error = QStringLiteral("ip -n %1 -batch: %2").arg(ns, QString::fromLocal8Bit(ip.readAll()));
        return false;
    }

    // Each device's address on the far end, the test range routed from the
    // near one. Search replies are ARP requests from each device's own MAC and
    // address, from which the near kernel would learn that MAC for the
    // address; here the address belongs to the far end, so its neighbour
    // entries are fixed.
    static bool addDeviceAddresses(const NetNamespacePair& pair, int count, QString* error)
    {
        const QString farIf = pair.interfaceName(NetNamespacePair::Far);
        const QString nearIf = pair.interfaceName(NetNamespacePair::Near);
        QString farMac;
        {
            NetnsScope scope(pair.namespaceName(NetNamespacePair::Far));
            RawPacketSocket probe;
            if (scope.ok() && probe.open(farIf))
                farMac = QString::fromLatin1(probe.mac().toHex(':'));
        }
        if (farMac.isEmpty()) {
            *error = QStringLiteral("cannot read the MAC of %1").arg(farIf);
            return false;
        }
        QStringList far, near{QStringLiteral("route replace 198.18.0.0/15 dev %1").arg(nearIf)};
        for (int k = 1; k <= count; ++k) {
            far << QStringLiteral("addr replace %1/15 dev %2").arg(deviceIp(k), farIf);
            near << QStringLiteral("neigh replace %1 lladdr %2 nud permanent dev %3")
                        .arg(deviceIp(k), farMac, nearIf);
        }
        return ipBatch(pair.namespaceName(NetNamespacePair::Far), far, error) &&
               ipBatch(pair.namespaceName(NetNamespacePair::Near), near, error);
    }

    QTemporaryDir m_dir;
    QProcess m_process;
};

// In a network test function: skips where namespaces cannot be made, else
// makes the multicast pair once for the whole test program.
#define ORVANE_REQUIRE_MULTICAST_NAMESPACE(pair)                                                                   \
    ORVANE_REQUIRE_NETNS();                                                                                        \
    QVERIFY2(EmulatedSegment::prepareNamespace(pair), qPrintable(pair->error()))

} // namespace orvane
