#include "MainWindow.h"
#include "LogFile.h"
#include "Startup.h"

#include <QApplication>

using namespace orvane;

int main(int argc, char* argv[])
{
    // The icons live in a static library; without this the linker drops them.
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    Startup::setApplicationIdentity();
    Startup::openLog();
    Startup::loadLanguage();
    Startup::checkCapturePermission();

    auto* window = new MainWindow;
    window->show();
    const int result = app.exec();
    LogFile::close();
    delete window;
    return result;
}
