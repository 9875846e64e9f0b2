#include "VyFileUtils.h"

#include <QDir>
#include <QStandardPaths>

QString VyFileUtils::configureDirectory()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(base);
    const QString path = QStringLiteral("%1/configure").arg(base);
    QDir().mkpath(path);
    return path;
}
