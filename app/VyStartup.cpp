#include "VyStartup.h"

#include "VyCapturePermissionDialog.h"
#include "VyConfigure.h"
#include "VyLanguage.h"
#include "VyLog.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QStandardPaths>

void VyStartup::setApplicationFont()
{
    QFont font;
    font.setFamily(font.defaultFamily());
    font.setPointSize(9);
    QApplication::setFont(font);
}

QString VyStartup::logDirectory()
{
    const QString besideProgram = QStringLiteral("%1/log").arg(QCoreApplication::applicationDirPath());
    if (QDir().mkpath(besideProgram) && QFileInfo(besideProgram).isWritable())
        return besideProgram;
    const QString perUser =
        QStringLiteral("%1/log").arg(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    QDir().mkpath(perUser);
    return perUser;
}

QString VyStartup::languageDirectory()
{
    const QString besideProgram = QStringLiteral("%1/language").arg(QCoreApplication::applicationDirPath());
    if (QFileInfo(besideProgram).isDir())
        return besideProgram;
    const QString installed = QStandardPaths::locate(QStandardPaths::AppDataLocation, QStringLiteral("language"),
                                                     QStandardPaths::LocateDirectory);
    return installed.isEmpty() ? besideProgram : installed;
}

QString VyStartup::openLog()
{
    const QString path = QStringLiteral("%1/%2.log")
                             .arg(logDirectory(),
                                  QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss")));
    return VyLog::open(path) ? path : QString();
}

void VyStartup::loadLanguage()
{
    VyConfigure configure;
    configure.defaults();
    VyLanguage::setDirectory(languageDirectory());
    if (configure.language().compare(QLatin1String("cn"), Qt::CaseInsensitive) == 0) {
        VyLanguage::load(QStringLiteral("cn.txt"));
        qDebug("install cn language");
    } else {
        VyLanguage::load(QStringLiteral("en.txt"));
        qDebug("install en language");
    }
}

void VyStartup::checkCapturePermission()
{
    VyCapturePermissionDialog::checkAtStartup(VyConfigure().network());
}
