// The main window on emulated devices: pages and the split, searching again, cell edits, the command log.
#include "MainWindowOnSegment.h"
#include "AppConfig.h"
#include "BroadcastDialog.h"
#include "CheckBoxHeaderView.h"
#include "CopyingTableView.h"
#include "LogFile.h"
#include "SearchDialog.h"
#include "SettingsPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QtTest>

using namespace orvane;

namespace {

void clickCell(MainWindow& window, int row, int column)
{
    CopyingTableView* table = window.tableView();
    const QModelIndex index = window.model()->index(row, column);
    table->scrollTo(index);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(index).center());
}

QString editText(QWidget* page, const char* name)
{
    auto* edit = page ? page->findChild<QLineEdit*>(QLatin1String(name)) : nullptr;
    return edit ? edit->text() : QStringLiteral("<no edit>");
}

// Whether the operator sees all of widget inside the page area.
bool fullyShown(QScrollArea* area, QWidget* widget)
{
    return area->viewport()->rect().contains(QRect(widget->mapTo(area->viewport(), QPoint()), widget->size()));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<NetNamespacePair> m_pair;
    EmulatedSegment m_segment;

    // The window after its automatic search, at width x height, or none unless it listed rows devices.
    std::unique_ptr<MainWindow> start(const QByteArray& config, int generated, int rows, QSize size = {})
    {
        QString error;
        std::unique_ptr<MainWindow> window;
        if (!m_segment.start(*m_pair, config, generated, &error) || !(window = openMainWindow(*m_pair)))
            return nullptr;
        QSignalSpy finished(window.get(), &MainWindow::searchFinished);
        if ((!finished.wait(20000) && finished.isEmpty()) || window->model()->rowCount() != rows)
            return nullptr;
        if (size.isValid()) {
            window->showNormal();
            window->resize(size);
            if (!QTest::qWaitFor([&] { return window->size() == size; }))
                return nullptr;
        }
        return window;
    }

private slots:
    void initTestCase()
    {
        ORVANE_REQUIRE_NETNS();
        Q_INIT_RESOURCE(resources);
        QStandardPaths::setTestModeEnabled(true);
        m_pair.reset(new NetNamespacePair);
        QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
    }
    void cleanupTestCase() { m_pair.reset(); }
    void init()
    {
        QFile::remove(AppConfig::filePath());
        AppConfig().setSearchTime(500); // the emulated devices answer at once
    }
    void cleanup() { m_segment.stop(); }

    // Which page a click shows; the split and the columns come back after a restart.
    void pagesAndLayout()
    {
        std::unique_ptr<MainWindow> window = start("[]", 20, 20, QSize(1366, 768));
        QVERIFY(window && !window->currentPage());
        clickCell(*window, 0, DeviceTableModel::NetmaskColumn);
        SettingsPage* ipPage = window->cachedPage(MainWindow::IpPage);
        QVERIFY(ipPage && window->currentPage() == ipPage && window->pageArea()->isAncestorOf(ipPage));
        QCOMPARE(editText(ipPage, "ipEdit"), QStringLiteral("198.18.1.1"));
        // Another row's Gateway: the same page, now with that row's values.
        clickCell(*window, 1, DeviceTableModel::GatewayColumn);
        QVERIFY(window->currentPage() == ipPage && ipPage->currentDevice() == window->model()->deviceAt(1));
        QCOMPARE(editText(ipPage, "ipEdit"), QStringLiteral("198.18.1.2"));
        // UID removes the page.
        clickCell(*window, 1, DeviceTableModel::UidColumn);
        QVERIFY(!window->currentPage() && !ipPage->isVisible());
        clickCell(*window, 2, DeviceTableModel::NameColumn);
        SettingsPage* namePage = window->cachedPage(MainWindow::NamePage);
        QCOMPARE(window->currentPage(), namePage);
        // The check-box column keeps the page and hands it the row's device.
        clickCell(*window, 0, DeviceTableModel::CheckColumn);
        QCOMPARE(window->currentPage(), namePage);
        QCOMPARE(editText(namePage, "nameEdit"), QStringLiteral("Device 1"));

        // At 1366 x 768 the table shows rows and every page whole; given little
        // height, a page scrolls to its lowest button.
        QVERIFY(window->tableView()->rowAt(window->tableView()->viewport()->height() - 1) >= 8);
        QScrollArea* area = window->pageArea();
        for (int column = DeviceTableModel::NameColumn; column < DeviceTableModel::ColumnCount; ++column) {
            clickCell(*window, 0, column);
            QVERIFY(window->currentPage());
            QTRY_COMPARE(area->verticalScrollBar()->maximum(), 0);
            for (QPushButton* button : window->currentPage()->findChildren<QPushButton*>())
                QVERIFY2(fullyShown(area, button), qPrintable(button->objectName()));
        }
        QSplitter* splitter = window->splitter();
        splitter->setSizes({splitter->height() - 120, 120});
        QTRY_VERIFY(area->verticalScrollBar()->maximum() > 0);
        QWidget* lowest = window->currentPage()->findChild<QPushButton*>(QStringLiteral("rebootAllButton"));
        area->ensureWidgetVisible(lowest);
        QVERIFY(fullyShown(area, lowest));

        QHeaderView* header = window->tableView()->horizontalHeader();
        header->resizeSection(DeviceTableModel::NameColumn, 321);
        header->moveSection(header->visualIndex(DeviceTableModel::MacColumn), 3);
        const QList<int> sizes = splitter->sizes();
        window->close();
        window = start("[]", 20, 20, QSize(1366, 768));
        QVERIFY(window);
        QTRY_COMPARE(window->splitter()->sizes(), sizes);
        header = window->tableView()->horizontalHeader();
        QVERIFY(header->sectionSize(DeviceTableModel::NameColumn) == 321 &&
                header->visualIndex(DeviceTableModel::MacColumn) == 3);
    }

    // The toolbar's windows: Network reopens capture on the adapter chosen, RTP
    // keeps one broadcast window, which the main window's closing ends.
    void toolbarWindows()
    {
        std::unique_ptr<MainWindow> window = start("[]", 2, 2, QSize(900, 600));
        QVERIFY(window);
        bool chose = false;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            QWidget* modal = chose ? nullptr : QApplication::activeModalWidget();
            if (auto* ok = modal ? modal->findChild<QPushButton*>(QString(), Qt::FindDirectChildrenOnly) : nullptr)
                chose = QMetaObject::invokeMethod(ok, &QPushButton::click, Qt::QueuedConnection);
        });
        answer.start(10);
        {
            // The adapters listed, and the capture threads opened, are the near namespace's alone.
            NetnsScope scope(m_pair->namespaceName(NetNamespacePair::Near));
            QVERIFY(scope.ok());
            QTest::mouseClick(window->findChild<QPushButton*>("networkButton"), Qt::LeftButton);
        }
        QVERIFY(chose);
        window->onClickSearchButton(false);
        QCOMPARE(window->statusText(), "2 devices on " + m_pair->interfaceName(NetNamespacePair::Near));

        auto* rtp = window->findChild<QPushButton*>("rtpButton");
        QTest::mouseClick(rtp, Qt::LeftButton);
        QPointer<BroadcastDialog> broadcast = BroadcastDialog::instance();
        QVERIFY(broadcast && broadcast->isVisible());
        QTest::mouseClick(rtp, Qt::LeftButton);
        QCOMPARE(BroadcastDialog::instance(), broadcast.data());
        window->close();
        QTRY_VERIFY(!broadcast);
    }

    // The wait dialog counts answers; Cancel keeps them; the header stays in step with the scrolled table.
    void searchCountsAndCancelKeepsWhatWasFound()
    {
        std::unique_ptr<MainWindow> window = start("[]", 3, 3, QSize(900, 600));
        QVERIFY(window);
        CopyingTableView* table = window->tableView();
        auto* header = static_cast<CheckBoxHeaderView*>(table->horizontalHeader());
        table->horizontalScrollBar()->setValue(table->horizontalScrollBar()->maximum());
        QVERIFY(header->offset() > header->sectionSize(0));

        AppConfig().setSearchTime(60000);
        QString message;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<SearchDialog*>(QApplication::activeModalWidget());
            if (dialog && dialog->message() == QLatin1String("Searching: 3 found")) {
                message = dialog->message();
                QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
            }
        });
        watch.start(10);
        QElapsedTimer clock;
        clock.start();
        window->onClickSearchButton(false);
        QVERIFY(message == QLatin1String("Searching: 3 found") && clock.elapsed() < 30000);
        QCOMPARE(window->model()->rowCount(), 3);
        QCOMPARE(window->statusText(), QStringLiteral("3 devices on orvnear; search ended early"));

        QCOMPARE(header->offset(), table->horizontalScrollBar()->value());
        // Scrolled away, the select-all box has gone with its column instead of covering "No.".
        QVERIFY(header->checkBox()->geometry().right() < header->sectionViewportPosition(1));
        table->horizontalScrollBar()->setValue(0);
        AppConfig().setSearchTime(500);
        window->onClickSearchButton(false);
        const QRect firstSection(header->sectionViewportPosition(0), 0, header->sectionSize(0), header->height());
        QVERIFY(header->checkBox()->isVisible() && firstSection.contains(header->checkBox()->geometry()));
    }

    void cellEdits_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("sent");
        QTest::newRow("same name") << int(DeviceTableModel::NameColumn) << "Device 2" << false;
        QTest::newRow("new name") << int(DeviceTableModel::NameColumn) << "Hall 2" << true;
        QTest::newRow("new mac") << int(DeviceTableModel::MacColumn) << "02:00:00:00:00:22" << true;
    }

    void cellEdits()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(bool, sent);
        const bool name = column == DeviceTableModel::NameColumn;
        std::unique_ptr<MainWindow> window = start("[]", 2, 2);
        QVERIFY(window);
        CopyingTableView* table = window->tableView();
        const QModelIndex index = window->model()->index(1, column);
        const QString before = index.data().toString();
        table->setFocus();
        table->setCurrentIndex(index);
        table->edit(index);
        auto* editor = table->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor && editor->text() == before);
        editor->setText(text);
        QStringList asked; // a new MAC moves the device: the operator is asked first
        QTimer agree;
        QObject::connect(&agree, &QTimer::timeout, [&asked] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* ok = modal ? modal->findChild<QPushButton*>(QStringLiteral("okButton")) : nullptr) {
                asked << modal->objectName();
                QTest::mouseClick(ok, Qt::LeftButton);
            }
        });
        agree.start(10);
        QTest::keyClick(editor, Qt::Key_Return);
        if (!sent)
            QTest::qWait(200);
        QTRY_COMPARE_WITH_TIMEOUT(window->model()->index(1, column).data().toString(), sent ? text : before, 10000);
        const QList<ReceivedCommand> commands = m_segment.commands(name ? "SetName" : "SetMac");
        QCOMPARE(commands.size(), sent ? 1 : 0);
        if (sent) {
            QCOMPARE(commands.first().destination, QStringLiteral("02:00:00:00:00:02"));
            QCOMPARE(commands.first().value(name ? "name" : "mac"), text);
            QCOMPARE(asked, name ? QStringList() : QStringList{"confirmDialog"});
        }
        QCOMPARE(window->model()->index(0, DeviceTableModel::NameColumn).data().toString(), QStringLiteral("Device 1"));
    }

    // One line per command sent or received, passwords masked (the search replies carry the device's).
    void logHasOneLinePerCommandWithPasswordsMasked()
    {
        QTemporaryDir dir;
        QVERIFY(LogFile::open(dir.filePath(QStringLiteral("run.log"))));
        std::unique_ptr<MainWindow> window = start(R"([{"password":"hunter2"}, {}])", 0, 2);
        QVERIFY(window);
        QCOMPARE(window->client()->setAccountPassword(window->model()->deviceAt(1), QStringLiteral("tech"),
                                                      QStringLiteral("s3cret")), 0);
        // Replies are logged on the capture thread, each line flushed; wait for the last one.
        const auto readLog = [&] {
            QFile file(dir.filePath(QStringLiteral("run.log")));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_COMPARE(readLog().count("(logCommand) recv {"), 2 + 1);
        window.reset();
        LogFile::close();
        const QByteArray log = readLog();
        QCOMPARE(log.count("(logCommand) send {"), 2);
        QVERIFY(!log.contains("s3cret") && !log.contains("hunter2") && !log.contains("\"password\":\"admin\""));
        QVERIFY(log.contains(R"((logCommand) send {"id":1,"method":"SetAccountPassword", "account":"tech", )"
                             R"("password":"******"})"));
    }

    // SIGTERM (logout, kill) ends the program as closing its window does: layout saved, normal exit.
    void stopSignalClosesTheWindow()
    {
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"})
            environment.insert(QLatin1String(name), home.path());
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        {
            // Only the veth pair is seen from there: the search never reaches a real interface.
            NetnsScope scope(m_pair->namespaceName(NetNamespacePair::Near));
            program.start(QStringLiteral(ORVANE_PATH), QStringList());
        }
        QVERIFY(program.waitForStarted());
        const auto log = [&] {
            QByteArray text;
            for (const QFileInfo& found : QDir(home.filePath("orvane/log")).entryInfoList({"*.log"})) {
                QFile file(found.filePath());
                text += file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            }
            return text;
        };
        QTRY_VERIFY_WITH_TIMEOUT(log().contains("(logCommand) send {"), 30000);
        program.terminate();
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QSettings saved(home.filePath("orvane/configure.ini"), QSettings::IniFormat);
        QVERIFY(saved.contains("main splitter") && saved.contains("table columns"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
