#include "MainWindow.h"
#include "VyLog.h"
#include "VyStartup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The icons live in a static library; without this the linker drops them.
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvane"));
    VyStartup::setApplicationFont();
    VyStartup::openLog();
    VyStartup::loadLanguage();
    VyStartup::checkCapturePermission();

    auto* window = new MainWindow;
    window->show();
    const int result = app.exec();
    VyLog::close();
    delete window;
    return result;
}
