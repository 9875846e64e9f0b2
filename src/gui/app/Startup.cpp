#include "Startup.h"

#include "AppConfig.h"
#include "AppPaths.h"
#include "CapturePermissionDialog.h"
#include "Language.h"
#include "LogFile.h"

#include <QApplication>
#include <QDateTime>
#include <QIcon>

namespace orvane {

void Startup::setApplicationIdentity()
{
    QApplication::setApplicationName(QStringLiteral("orvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Orvane"));
    // Lets the desktop match the windows to their entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvane.Orvane"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/orvane-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
}

QString Startup::openLog()
{
    const QString path = QStringLiteral("%1/%2.log")
                             .arg(AppPaths::logDirectory(),
                                  QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss")));
    return LogFile::open(path) ? path : QString();
}

void Startup::loadLanguage()
{
    AppConfig configure;
    configure.defaults();
    Language::setDirectory(AppPaths::languageDirectory());
    if (configure.language().compare(QLatin1String("cn"), Qt::CaseInsensitive) == 0) {
        Language::load(QStringLiteral("cn.txt"));
        qDebug("install cn language");
    } else {
        Language::load(QStringLiteral("en.txt"));
        qDebug("install en language");
    }
}

void Startup::checkCapturePermission()
{
    CapturePermissionDialog::checkAtStartup(AppConfig().network());
}

} // namespace orvane
