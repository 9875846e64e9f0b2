// Start-up to a shown main window: the same steps as the program, timed from
// the process's start, and the peak resident memory once the window shows and
// once its first search has filled the table. The window runs on the near end
// of a namespace pair, so its adapter and search stay off real interfaces.
#include "BenchSupport.h"
#include "EmulatedSegment.h"
#include "MainWindow.h"
#include "DeviceTableModel.h"
#include "LogFile.h"
#include "Startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

using namespace orvane;

namespace {

// Milliseconds since the kernel started this process.
double msSinceProcessStart()
{
    FILE* f = fopen("/proc/self/stat", "r");
    if (!f)
        return -1;
    char buffer[1024];
    const size_t n = fread(buffer, 1, sizeof buffer - 1, f);
    fclose(f);
    buffer[n] = 0;
    // Field 22 (start time in clock ticks since boot) follows the command name in parentheses.
    const char* p = strrchr(buffer, ')');
    unsigned long long start = 0;
    if (!p || sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu",
                     &start) != 1)
        return -1;
    timespec now;
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    return nowMs - start * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

long peakKiB()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false;qt.qpa.*=false");
    // The wire and the devices come first; they are not part of the program's start-up.
    std::unique_ptr<NetNamespacePair> wire;
    Adapter adapter;
    if (const int status = benchWire("bench_startup", wire, &adapter))
        return status;
    NetNamespacePair& pair = *wire;
    EmulatedSegment segment;
    if (!benchSegment("bench_startup", segment, pair, "[]", 12))
        return 1;
    QStandardPaths::setTestModeEnabled(true);
    const double beforeApp = msSinceProcessStart();
    const qint64 beforeAppMain = sinceMain.elapsed();

    QElapsedTimer startup;
    startup.start();
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    Startup::setApplicationIdentity();
    QTemporaryDir logs;
    LogFile::open(logs.filePath(QStringLiteral("bench.log")));
    Startup::loadLanguage();
    Startup::checkCapturePermission();
    std::unique_ptr<MainWindow> window;
    {
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
        window.reset(new MainWindow);
    }
    QSignalSpy searched(window.get(), &MainWindow::searchFinished);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        fprintf(stderr, "bench_startup: the window was not shown\n");
        return 1;
    }
    const double shownMs = startup.nsecsElapsed() / 1e6;
    const long shownKiB = peakKiB();
    searched.wait(20000);
    const double searchedMs = startup.nsecsElapsed() / 1e6;
    const long searchedKiB = peakKiB();

    printf("Start-up to a shown main window (%s platform)\n", qgetenv("QT_QPA_PLATFORM").constData());
    printf("  process start to main():              %.1f ms\n", beforeApp - double(beforeAppMain));
    printf("  application object to shown window:   %.1f ms\n", shownMs);
    printf("  peak resident memory when shown:      %.1f MiB\n", shownKiB / 1024.0);
    printf("  first search done (2 s search):       %.1f ms after the application object, %d devices\n",
           searchedMs, window->model()->rowCount());
    printf("  peak resident memory after search:    %.1f MiB\n", searchedKiB / 1024.0);
    window.reset();
    LogFile::close();
    segment.stop();
    return 0;
}
