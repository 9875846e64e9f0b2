#include "Startup.h"

#include "CapturePermissionDialog.h"
#include "AppConfig.h"
#include "Language.h"
#include "LogFile.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QStandardPaths>

void Startup::setApplicationFont()
{
    QFont font;
    font.setFamily(font.defaultFamily());
    font.setPointSize(9);
    QApplication::setFont(font);
}

QString Startup::logDirectory()
{
    const QString besideProgram = QStringLiteral("%1/log").arg(QCoreApplication::applicationDirPath());
    if (QDir().mkpath(besideProgram) && QFileInfo(besideProgram).isWritable())
        return besideProgram;
    const QString perUser =
        QStringLiteral("%1/log").arg(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    QDir().mkpath(perUser);
    return perUser;
}

QString Startup::languageDirectory()
{
    const QString besideProgram = QStringLiteral("%1/language").arg(QCoreApplication::applicationDirPath());
    if (QFileInfo(besideProgram).isDir())
        return besideProgram;
    const QString installed = QStandardPaths::locate(QStandardPaths::AppDataLocation, QStringLiteral("language"),
                                                     QStandardPaths::LocateDirectory);
    return installed.isEmpty() ? besideProgram : installed;
}

QString Startup::openLog()
{
    const QString path = QStringLiteral("%1/%2.log")
                             .arg(logDirectory(),
                                  QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss")));
    return LogFile::open(path) ? path : QString();
}

void Startup::loadLanguage()
{
    AppConfig configure;
    configure.defaults();
    Language::setDirectory(languageDirectory());
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
