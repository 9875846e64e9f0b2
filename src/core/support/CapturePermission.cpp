#include "CapturePermission.h"

#include "Adapter.h"
#include "CaptureEngine.h"

#include <QFile>
#include <unistd.h>

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
    if (geteuid() == 0)
        return true;
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
    return {QStringLiteral("setcap"), QLatin1String(Capabilities), program};
}
