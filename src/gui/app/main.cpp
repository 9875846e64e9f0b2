#include "MainWindow.h"
#include "LogFile.h"
#include "Startup.h"
#include "StopSignals.h"

#include <QApplication>

using namespace orvane;

int main(int argc, char* argv[])
{
    // Before anything else: a logout or Ctrl-C during start-up then still ends
    // the program in order instead of killing it.
    StopSignals::install();
    // The icons live in a static library; without this the linker drops them.
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    StopSignals stopSignals;
    Startup::setApplicationIdentity();
    Startup::openLog();
    Startup::loadLanguage();
    Startup::checkCapturePermission();
    // Stopped while the permission was asked for: no window to open.
    if (stopSignals.received()) {
        LogFile::close();
        return 0;
    }

    auto* window = new MainWindow;
    stopSignals.setWindow(window);
    window->show();
    const int result = app.exec();
    LogFile::close();
    delete window;
    return result;
}
