#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <mutex>

namespace orvane {

namespace {

const char ConfigureFileName[] = "configure.ini";

QString madePath(const QString& path)
{
    QDir().mkpath(path);
    return path;
}

// Qt 5 knows no state location; XDG_STATE_HOME, else ~/.local/state. Test
// mode gets a folder beside Qt's own test folders.
QString stateHome()
{
    if (QStandardPaths::isTestModeEnabled())
        return QDir::homePath() + QStringLiteral("/.qttest/state");
    const QString fromEnvironment = QFile::decodeName(qgetenv("XDG_STATE_HOME"));
    if (QDir::isAbsolutePath(fromEnvironment))
        return fromEnvironment;
    return QDir::homePath() + QStringLiteral("/.local/state");
}

} // namespace

QString AppPaths::configureDirectory()
{
    static std::once_flag migrated;
    std::call_once(migrated, [] { migrateOldConfiguration(); });
    return madePath(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

bool AppPaths::migrateOldConfiguration()
{
    const QString oldPath = QStringLiteral("%1/configure/%2")
                                .arg(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation),
                                     QLatin1String(ConfigureFileName));
    if (!QFileInfo(oldPath).isFile())
        return false;
    const QString newDirectory =
        madePath(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    const QString newPath = QStringLiteral("%1/%2").arg(newDirectory, QLatin1String(ConfigureFileName));
    if (QFileInfo::exists(newPath) || !QFile::rename(oldPath, newPath))
        return false;
    // Only the emptied folder goes; anything else the operator kept there stays.
    QDir().rmdir(QFileInfo(oldPath).path());
    return true;
}

QString AppPaths::logDirectory()
{
    return madePath(QStringLiteral("%1/%2/log").arg(stateHome(), QCoreApplication::applicationName()));
}

QString AppPaths::languageDirectory()
{
    const QString programDirectory = QCoreApplication::applicationDirPath();
    const QString candidates[] = {
        QStringLiteral("%1/language").arg(programDirectory),
        QStringLiteral("%1/../share/orvane/language").arg(programDirectory),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isDir())
            return QDir::cleanPath(candidate);
    }
    const QString installed =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("orvane/language"),
                               QStandardPaths::LocateDirectory);
    return installed.isEmpty() ? QStringLiteral("/usr/share/orvane/language") : installed;
}

} // namespace orvane
