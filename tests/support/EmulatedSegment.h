#pragma once

// A segment of emulated devices for tests of the program's widgets: the
// device emulator runs as its own program in the far namespace of a pair, and
// the command set opens the near end with its capture threads inside the near
// namespace. Header-only; the including target defines ORVANE_EMULATOR_PATH.

#include "NetNamespacePair.h"
#include "Adapter.h"
#include "DeviceRecord.h"
#include "ProtocolClient.h"
#include "RawPacketSocket.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>

// One command the emulator received: the frame's destination MAC and its text.
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
    // `generated` generated ones; false with error when it does not come up.
    bool start(const NetNamespacePair& pair, const QByteArray& config, int generated, QString* error)
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
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config) != config.size()) {
            *error = QStringLiteral("cannot write %1").arg(configPath);
            return false;
        }
        file.close();
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("ip"),
                        {QStringLiteral("netns"), QStringLiteral("exec"), pair.namespaceName(NetNamespacePair::Far),
                         QStringLiteral(ORVANE_EMULATOR_PATH), QStringLiteral("--interface"),
                         pair.interfaceName(NetNamespacePair::Far), QStringLiteral("--config"), configPath,
                         QStringLiteral("--devices"), QString::number(generated), QStringLiteral("--log"),
                         logPath(), QStringLiteral("--ready-file"), readyPath});
        if (!m_process.waitForStarted()) {
            *error = QStringLiteral("the emulator did not start: %1").arg(m_process.errorString());
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(readyPath) && m_process.state() == QProcess::Running && timer.elapsed() < 15000)
            m_process.waitForFinished(20);
        if (!QFile::exists(readyPath)) {
            *error = QStringLiteral("the emulator did not come up");
            return false;
        }
        return true;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

    QString logPath() const { return m_dir.filePath(QStringLiteral("emulator.log")); }

    // Every command the emulator received, in order.
    QList<ReceivedCommand> commands() const
    {
        QList<ReceivedCommand> out;
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray& line : log.readAll().split('\n')) {
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

    // The commands of one method, in order.
    QList<ReceivedCommand> commands(const QString& method) const
    {
        QList<ReceivedCommand> out;
        for (const ReceivedCommand& c : commands()) {
            if (c.method() == method)
                out.append(c);
        }
        return out;
    }

    // The near end of pair as an adapter record, read inside the near namespace.
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
        const uint8_t ip[4] = {198, 18, 0, 1};
        const uint8_t mask[4] = {255, 255, 255, 0};
        memcpy(adapter->ip, ip, 4);
        memcpy(adapter->mask, mask, 4);
        return true;
    }

    // Opens sdk on the near end, its capture threads inside the near namespace.
    static bool openNear(ProtocolClient& sdk, const NetNamespacePair& pair, QString* error)
    {
        Adapter adapter;
        if (!nearAdapter(pair, &adapter, error))
            return false;
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
        sdk.open(&adapter);
        return true;
    }

    // A capture handle opens asynchronously and replies before that are lost:
    // search until `count` devices answer. The records are released.
    static bool waitForDevices(ProtocolClient& sdk, int count)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 15000) {
            QList<DeviceRecord*> found;
            sdk.search(found, 300, false);
            const int n = found.size();
            for (DeviceRecord* d : qAsConst(found))
                d->release();
            if (n >= count)
                return true;
        }
        return false;
    }

    // The emulator's MAC text of its k-th device (1-based).
    static QString deviceMac(int k)
    {
        return QString::asprintf("02:00:00:00:%02x:%02x", (k >> 8) & 0xff, k & 0xff);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
