#include "VyConfigure.h"
#include "VyLanguage.h"
#include "VyLog.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QStandardPaths>

namespace {

QString logDirectory()
{
    const QString besideProgram = QStringLiteral("%1/log").arg(QCoreApplication::applicationDirPath());
    if (QDir().mkpath(besideProgram) && QFileInfo(besideProgram).isWritable())
        return besideProgram;
    const QString perUser =
        QStringLiteral("%1/log").arg(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    QDir().mkpath(perUser);
    return perUser;
}

QString languageDirectory()
{
    const QString besideProgram = QStringLiteral("%1/language").arg(QCoreApplication::applicationDirPath());
    if (QFileInfo(besideProgram).isDir())
        return besideProgram;
    const QString installed =
        QStandardPaths::locate(QStandardPaths::AppDataLocation, QStringLiteral("language"), QStandardPaths::LocateDirectory);
    return installed.isEmpty() ? besideProgram : installed;
}

} // namespace

int main(int argc, char* argv[])
{
    // The icons live in a static library; without this the linker drops them.
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvane"));
    QFont font;
    font.setFamily(font.defaultFamily());
    font.setPointSize(9);
    QApplication::setFont(font);

    const QString logPath = QStringLiteral("%1/%2.log")
                                .arg(logDirectory(), QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss")));
    VyLog::open(logPath);

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

    QMainWindow window;
    window.setCentralWidget(new QLabel(vyTr("Search"), &window));
    window.resize(1000, 700);
    window.show();
    const int result = app.exec();
    VyLog::close();
    return result;
}
