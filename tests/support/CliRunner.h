#pragma once

// Runs orvane-cli (or another program) in the near namespace of a pair, as a
// script on the devices' segment would, with a profile of its own so that no
// remembered adapter of the machine applies. Header-only; a target that uses it
// defines ORVANE_CLI_PATH.

#include "NetNamespacePair.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace orvane {

struct CliRun
{
    int status = -1; // -1 when it crashed or did not end within the time allowed
    QString out;
    QString err;
    qint64 ms = 0; // wall time

    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

inline CliRun runNear(const NetNamespacePair& pair, const QString& home, const QStringList& args,
                      const QByteArray& input = QByteArray(),
                      const QString& program = QStringLiteral(ORVANE_CLI_PATH),
                      QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    p.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    p.start(QStringLiteral("ip"), QStringList{QStringLiteral("netns"), QStringLiteral("exec"),
                                              pair.namespaceName(NetNamespacePair::Near), program} +
                                      args);
    p.write(input);
    p.closeWriteChannel();
    CliRun r;
    if (!p.waitForFinished(300000))
        p.kill();
    p.waitForFinished();
    r.ms = timer.elapsed();
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace orvane
