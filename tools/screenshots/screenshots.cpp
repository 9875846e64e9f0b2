// Takes the README's pictures of the main window: the program on a segment of
// emulated devices across a private namespace pair, drawn offscreen.
//   orvane-screenshots DIR        (QT_SCALE_FACTOR=2 for the high-density pictures)
#include "AppConfig.h"
#include "CopyingTableView.h"
#include "MainWindowOnSegment.h"
#include "SettingsPage.h"
#include "Startup.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <cstdio>
#include <iterator>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace orvane;

namespace {

// Nothing was taken because namespaces are out of reach; CTest counts the run as skipped.
constexpr int SkippedStatus = 77;

const char* const Names[] = {"Lobby East Entrance", "Lobby West Entrance", "Reception Desk", "Car Park Level -1",
                             "Car Park Level -2", "Stairwell North", "Stairwell South", "Lift Lobby 1st Floor",
                             "Lift Lobby 2nd Floor", "Canteen", "Loading Bay", "Security Office",
                             "Meeting Room Maple", "Meeting Room Birch", "Workshop", "Server Room",
                             "Goods Entrance", "Fire Assembly Point", "Rooftop Plant Room", "Visitor Gate"};

bool save(QWidget& widget, const QString& path)
{
    QApplication::processEvents();
    const bool ok = widget.grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

void clickCell(MainWindow& window, int row, int column)
{
    QTableView* table = window.tableView();
    const QModelIndex index = window.model()->index(row, column);
    table->scrollTo(index);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(index).center());
}

// The rights bar as an ordinary user meets it: without the capture capabilities.
void dropCaptureCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    syscall(SYS_capget, &header, data);
    data[0].effective &= ~((1u << CAP_NET_RAW) | (1u << CAP_NET_ADMIN));
    syscall(SYS_capset, &header, data);
}

} // namespace

int main(int argc, char* argv[])
{
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    Startup::setApplicationIdentity();
    QStandardPaths::setTestModeEnabled(true); // leaves the user's settings alone
    QFile::remove(AppConfig::filePath());
    Startup::loadLanguage(); // the English texts the program shows, not their keys
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    const bool doubled = qEnvironmentVariable("QT_SCALE_FACTOR") == QLatin1String("2");
    QString reason;
    if (!NetNamespacePair::canRun(&reason)) {
        std::fprintf(stderr, "orvane-screenshots: %s\n", qPrintable(reason));
        return SkippedStatus;
    }
    AppConfig().setSearchTime(500);
    NetNamespacePair pair;
    EmulatedSegment segment;
    QByteArray config = "[";
    for (const char* name : Names)
        config += QByteArray(config.size() > 1 ? "," : "") + "{\"name\":\"" + name + "\"}";
    config += "]";
    if (!pair.ok() || !segment.start(pair, config, 0, &reason)) {
        std::fprintf(stderr, "orvane-screenshots: %s\n", qPrintable(pair.ok() ? reason : pair.error()));
        return 1;
    }

    bool ok = true;
    {
        std::unique_ptr<MainWindow> window = openMainWindow(pair);
        QSignalSpy searched(window.get(), &MainWindow::searchFinished);
        // A picture of a half-empty table would show a fault, not the program.
        if (!searched.wait(20000) || window->model()->rowCount() != int(std::size(Names))) {
            std::fprintf(stderr, "orvane-screenshots: the search listed %d of %d devices\n",
                         window->model()->rowCount(), int(std::size(Names)));
            ok = false;
        }
        window->showNormal();
        // At a scale factor of 2, a 1920 x 1080 screen holds 960 x 540 of the program's units.
        window->resize(doubled ? QSize(960, 540) : QSize(1366, 768));
        clickCell(*window, 2, DeviceTableModel::NameColumn);
        window->tableView()->scrollToTop();
        ok &= save(*window, out.filePath(doubled ? QStringLiteral("main-window-1920x1080-scale2.png")
                                                 : QStringLiteral("main-window-1366x768.png")));
        if (!doubled) {
            clickCell(*window, 0, DeviceTableModel::SystemColumn);
            window->tableView()->horizontalScrollBar()->setValue(0);
            ok &= save(*window, out.filePath(QStringLiteral("maintenance-page-1366x768.png")));
        }
    }
    if (!doubled) {
        dropCaptureCapabilities();
        std::unique_ptr<MainWindow> window = openMainWindow(pair);
        window->showNormal();
        window->resize(1366, 768);
        QTest::qWait(MainWindow::AutoSearchDelayMs * 2);
        ok &= save(*window, out.filePath(QStringLiteral("rights-bar-1366x768.png")));
    }
    segment.stop();
    QFile::remove(AppConfig::filePath());
    return ok ? 0 : 1;
}
