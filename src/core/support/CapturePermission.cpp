#include "CapturePermission.h"

#include "Adapter.h"
#include "CaptureEngine.h"

#include <QFile>
#include <QRegularExpression>

namespace orvane {

namespace {

// Bit numbers from <linux/capability.h>.
const int CapNetAdmin = 12;
const int CapNetRaw = 13;

quint64 effectiveCapabilities()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("CapEff:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16);
    }
    return 0;
}

} // namespace

bool CapturePermission::hasCapabilities()
{
    // Not the user id: root in a container or under a service manager may
    // lack the capabilities, and an ordinary user may hold them.
    const quint64 caps = effectiveCapabilities();
    return (caps >> CapNetRaw & 1) && (caps >> CapNetAdmin & 1);
}

bool CapturePermission::isMissing(const Adapter* adapter, QString* reason)
{
    if (hasCapabilities())
        return false;
    if (!adapter) {
        // Nothing to open; without the capabilities it could not be opened either.
        if (reason)
            *reason = QStringLiteral("no adapter, and no capture permission");
        return true;
    }
    QString error;
    if (CaptureEngine::probe(*adapter, &error))
        return false;
    if (reason)
        *reason = error;
    return true;
}

QString CapturePermission::grantProgram()
{
    return QStringLiteral("pkexec");
}

QStringList CapturePermission::grantArguments(const QString& program)
{
    return {QLatin1String(SetcapPath), QLatin1String(Capabilities), program};
}

QString CapturePermission::manualCommand(const QString& program)
{
    // Quoted for the shell when the path holds anything but plain characters.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+-]+$"));
    QString quoted = program;
    if (!plain.match(program).hasMatch())
        quoted = QLatin1Char('\'') + QString(program).replace(QLatin1Char('\''), QLatin1String("'\\''")) +
                 QLatin1Char('\'');
    return QStringLiteral("sudo %1 %2 %3")
        .arg(QLatin1String(SetcapPath), QLatin1String(Capabilities), quoted);
}

} // namespace orvane
