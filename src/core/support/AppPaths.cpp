#include "AppPaths.h"

#include <QDir>
#include <QStandardPaths>

QString AppPaths::configureDirectory()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(base);
    const QString path = QStringLiteral("%1/configure").arg(base);
    QDir().mkpath(path);
    return path;
}
