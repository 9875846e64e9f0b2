// The main window on a segment of emulated devices: which page a click shows,
// the split with the page area, searching again, edits made in the table's
// cells, and the log of every command.
#include "MainWindowOnSegment.h"
#include "SettingsPage.h"
#include "AppConfig.h"
#include "LogFile.h"
#include "BroadcastDialog.h"
#include "CheckBoxHeaderView.h"
#include "CopyingTableView.h"
#include "SearchDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QPointer>
#include <QtTest>

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

// Agrees to every question and closes every result list, keeping the names of the dialogs it met.
struct Agreeing
{
    Agreeing()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            const QString name = modal ? modal->objectName() : QString();
            if (name != QLatin1String("confirmDialog") && name != QLatin1String("resultListDialog"))
                return;
            met << name;
            QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
        });
        timer.start(10);
    }
    QStringList met;
    QTimer timer;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void clicksChooseAndFeedThePage();
    void everyPageAndRowsFitAndTheLayoutIsKept();
    void searchCountsAndCancelKeepsWhatWasFound();
    void cellEdits_data();
    void cellEdits();
    void logHasOneLinePerCommandWithPasswordsMasked();

private:
    std::unique_ptr<MainWindow> start(const QByteArray& config, int generated, int rows);

    std::unique_ptr<NetNamespacePair> m_pair;
    EmulatedSegment m_segment;
};

void TestMainWindow::initTestCase()
{
    ORVANE_REQUIRE_NETNS();
    Q_INIT_RESOURCE(resources);
    QStandardPaths::setTestModeEnabled(true);
    m_pair.reset(new NetNamespacePair);
    QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
}

void TestMainWindow::cleanupTestCase()
{
    m_segment.stop();
    m_pair.reset();
}

void TestMainWindow::init()
{
    QFile::remove(AppConfig::filePath());
    // The emulated devices answer at once; the shortest search will do.
    AppConfig().setSearchTime(500);
}

void TestMainWindow::cleanup()
{
    m_segment.stop();
}

std::unique_ptr<MainWindow> TestMainWindow::start(const QByteArray& config, int generated, int rows)
{
    QString error;
    if (!m_segment.start(*m_pair, config, generated, &error)) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    std::unique_ptr<MainWindow> window = openMainWindow(*m_pair);
    if (!window)
        return nullptr;
    QSignalSpy finished(window.get(), &MainWindow::searchFinished);
    if (!finished.wait(20000) && finished.isEmpty())
        return nullptr;
    if (window->model()->rowCount() != rows) {
        qWarning("the automatic search listed %d devices, not %d", window->model()->rowCount(), rows);
        return nullptr;
    }
    return window;
}

void TestMainWindow::clicksChooseAndFeedThePage()
{
    std::unique_ptr<MainWindow> window = start("[]", 3, 3);
    QVERIFY(window);
    QVERIFY(!window->currentPage());
    clickCell(*window, 0, DeviceTableModel::NetmaskColumn);
    SettingsPage* ipPage = window->cachedPage(MainWindow::IpPage);
    QVERIFY(ipPage && window->currentPage() == ipPage);
    QVERIFY(ipPage->isVisible() && window->pageArea()->isAncestorOf(ipPage));
    QCOMPARE(editText(ipPage, "ipEdit"), QStringLiteral("198.18.1.1"));
    // Another row's Gateway: the same page, now with that row's values.
    clickCell(*window, 1, DeviceTableModel::GatewayColumn);
    QCOMPARE(window->currentPage(), ipPage);
    QCOMPARE(ipPage->currentDevice(), window->model()->deviceAt(1));
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
    // Pages are made once and kept.
    clickCell(*window, 2, DeviceTableModel::IpColumn);
    QCOMPARE(window->currentPage(), ipPage);
    QCOMPARE(editText(ipPage, "ipEdit"), QStringLiteral("198.18.1.3"));

    // RTP Multicast twice shows one dialog, brought back; Settings opens its dialog.
    auto* rtp = window->findChild<QPushButton*>(QStringLiteral("rtpButton"));
    QTest::mouseClick(rtp, Qt::LeftButton);
    QPointer<BroadcastDialog> multicast = BroadcastDialog::instance();
    QVERIFY(multicast && multicast->isVisible());
    multicast->hide();
    QTest::mouseClick(rtp, Qt::LeftButton);
    QVERIFY(BroadcastDialog::instance() == multicast && multicast->isVisible());
    multicast->reject();
    QTRY_VERIFY(!multicast);
    QString about;
    QTimer::singleShot(0, [&about] {
        about = QApplication::activeModalWidget()->objectName();
        QApplication::activeModalWidget()->close();
    });
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("settingButton")), Qt::LeftButton);
    QCOMPARE(about, QStringLiteral("aboutDialog"));
}

// At 1366 x 768 the table shows rows and every page shows whole; a smaller
// page area scrolls; the split and the columns come back after a restart.
void TestMainWindow::everyPageAndRowsFitAndTheLayoutIsKept()
{
    std::unique_ptr<MainWindow> window = start("[]", 20, 20);
    QVERIFY(window);
    window->showNormal();
    window->resize(1366, 768);
    QTRY_COMPARE(window->size(), QSize(1366, 768));
    CopyingTableView* table = window->tableView();
    QVERIFY(table->rowAt(table->viewport()->height() - 1) >= 8);
    QScrollArea* area = window->pageArea();
    for (int column = DeviceTableModel::NameColumn; column < DeviceTableModel::ColumnCount; ++column) {
        clickCell(*window, 0, column);
        QVERIFY(window->currentPage());
        QTRY_COMPARE(area->verticalScrollBar()->maximum(), 0);
        for (QPushButton* button : window->currentPage()->findChildren<QPushButton*>()) {
            const QRect shown(button->mapTo(area->viewport(), QPoint()), button->size());
            QVERIFY2(area->viewport()->rect().contains(shown), qPrintable(button->objectName()));
        }
    }
    // Given little height, the page scrolls to its lowest button.
    QSplitter* splitter = window->splitter();
    splitter->setSizes({splitter->height() - 120, 120});
    QTRY_VERIFY(area->verticalScrollBar()->maximum() > 0);
    QWidget* lowest = window->currentPage()->findChild<QPushButton*>(QStringLiteral("rebootAllButton"));
    QVERIFY(lowest);
    area->ensureWidgetVisible(lowest);
    QVERIFY(area->viewport()->rect().contains(QRect(lowest->mapTo(area->viewport(), QPoint()), lowest->size())));

    QHeaderView* header = table->horizontalHeader();
    header->resizeSection(DeviceTableModel::NameColumn, 321);
    header->moveSection(header->visualIndex(DeviceTableModel::MacColumn), 3);
    const QList<int> sizes = splitter->sizes();
    window->close();
    window = start("[]", 20, 20);
    QVERIFY(window);
    window->showNormal();
    window->resize(1366, 768);
    QTRY_COMPARE(window->splitter()->sizes(), sizes);
    QCOMPARE(window->tableView()->horizontalHeader()->sectionSize(DeviceTableModel::NameColumn), 321);
    QCOMPARE(window->tableView()->horizontalHeader()->visualIndex(DeviceTableModel::MacColumn), 3);
}

// The wait dialog counts the answers; Cancel ends the search early and keeps
// them. Searching again leaves the header in step with the scrolled table.
void TestMainWindow::searchCountsAndCancelKeepsWhatWasFound()
{
    std::unique_ptr<MainWindow> window = start("[]", 3, 3);
    QVERIFY(window);
    window->showNormal();
    window->resize(900, 600);
    CopyingTableView* table = window->tableView();
    auto* header = static_cast<CheckBoxHeaderView*>(table->horizontalHeader());
    table->horizontalScrollBar()->setValue(table->horizontalScrollBar()->maximum());
    QVERIFY(header->offset() > header->sectionSize(0));

    AppConfig().setSearchTime(60000);
    QString message;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<SearchDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->message() != QLatin1String("Searching: 3 found"))
            return;
        message = dialog->message();
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    });
    watch.start(10);
    QElapsedTimer clock;
    clock.start();
    window->onClickSearchButton(false);
    QCOMPARE(message, QStringLiteral("Searching: 3 found"));
    QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(window->model()->rowCount(), 3);
    QVERIFY2(window->statusText().contains(QLatin1String("search ended early")), qPrintable(window->statusText()));

    QCOMPARE(header->offset(), table->horizontalScrollBar()->value());
    // Scrolled away, the select-all box has gone with its column instead of covering "No.".
    QVERIFY(header->checkBox()->geometry().right() < header->sectionViewportPosition(1));
    table->horizontalScrollBar()->setValue(0);
    AppConfig().setSearchTime(500);
    window->onClickSearchButton(false);
    const QRect firstSection(header->sectionViewportPosition(0), 0, header->sectionSize(0), header->height());
    QVERIFY(header->checkBox()->isVisible() && firstSection.contains(header->checkBox()->geometry()));
}

void TestMainWindow::cellEdits_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("sent");
    QTest::newRow("same name") << int(DeviceTableModel::NameColumn) << "Device 2" << "SetName" << false;
    QTest::newRow("new name") << int(DeviceTableModel::NameColumn) << "Hall 2" << "SetName" << true;
    QTest::newRow("same mac") << int(DeviceTableModel::MacColumn) << "02:00:00:00:00:02" << "SetMac" << false;
    QTest::newRow("new mac") << int(DeviceTableModel::MacColumn) << "02:00:00:00:00:22" << "SetMac" << true;
}

void TestMainWindow::cellEdits()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, method);
    QFETCH(bool, sent);
    std::unique_ptr<MainWindow> window = start("[]", 2, 2);
    QVERIFY(window);
    CopyingTableView* table = window->tableView();
    const QModelIndex index = window->model()->index(1, column);
    const QString before = index.data().toString();
    table->setFocus();
    table->setCurrentIndex(index);
    table->edit(index);
    auto* editor = table->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), before);
    editor->setText(text);
    Agreeing op;
    QTest::keyClick(editor, Qt::Key_Return);

    if (sent) {
        QTRY_COMPARE_WITH_TIMEOUT(window->model()->index(1, column).data().toString(), text, 10000);
        const QList<ReceivedCommand> commands = m_segment.commands(method);
        QCOMPARE(commands.size(), 1);
        QCOMPARE(commands.first().destination, QStringLiteral("02:00:00:00:00:02"));
        QCOMPARE(commands.first().value(column == DeviceTableModel::NameColumn ? "name" : "mac"), text);
        // A new MAC moves the device: the operator was asked first.
        QCOMPARE(op.met, column == DeviceTableModel::MacColumn ? QStringList{"confirmDialog"} : QStringList());
    } else {
        QTest::qWait(200);
        QVERIFY(m_segment.commands(method).isEmpty());
        QCOMPARE(window->model()->index(1, column).data().toString(), before);
    }
    // The other row is untouched.
    QCOMPARE(window->model()->index(0, DeviceTableModel::NameColumn).data().toString(), QStringLiteral("Device 1"));
}

void TestMainWindow::logHasOneLinePerCommandWithPasswordsMasked()
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("run.log"));
    QVERIFY(LogFile::open(logPath));
    std::unique_ptr<MainWindow> window = start(R"([{"password":"hunter2"}, {}, {}])", 0, 3);
    QVERIFY(window);

    clickCell(*window, 0, DeviceTableModel::NameColumn);
    window->currentPage()->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(QStringLiteral("Hall"));
    Agreeing op;
    QTest::mouseClick(window->currentPage()->findChild<QPushButton*>(QStringLiteral("setAllButton")),
                      Qt::LeftButton);
    QCOMPARE(tableColumn(*window, DeviceTableModel::NameColumn), (QStringList{"Hall", "Hall", "Hall"}));
    QCOMPARE(window->client()->setAccountPassword(window->model()->deviceAt(1), QStringLiteral("tech"),
                                                  QStringLiteral("s3cret")), 0);
    // Replies are logged on the capture thread; let the last one land.
    QTest::qWait(200);
    window.reset();
    LogFile::close();

    QFile file(logPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray log = file.readAll();
    QStringList sendLines, recvLines;
    for (const QByteArray& line : log.split('\n')) {
        const int at = line.indexOf("(logCommand) ");
        if (at < 0)
            continue;
        const QString rest = QString::fromUtf8(line.mid(at + 13));
        QVERIFY2(rest.startsWith(QLatin1String("send {")) || rest.startsWith(QLatin1String("recv {")),
                 qPrintable(rest));
        (rest.startsWith(QLatin1String("send {")) ? sendLines : recvLines) << rest;
    }
    // One search, three names, one account: each sent once and answered once per device.
    const QList<ReceivedCommand> received = m_segment.commands();
    QCOMPARE(sendLines.size(), received.size());
    QCOMPARE(sendLines.size(), 5);
    QCOMPARE(recvLines.size(), 3 + 3 + 1);
    for (int i = 0; i < received.size(); ++i) {
        QVERIFY2(sendLines.at(i).contains(QStringLiteral("\"method\":\"%1\"").arg(received.at(i).method())),
                 qPrintable(sendLines.at(i)));
    }
    QVERIFY(!log.contains("s3cret") && !log.contains("hunter2") && !log.contains("\"password\":\"admin\""));
    QCOMPARE(sendLines.last(), QStringLiteral(
        R"(send {"id":4,"method":"SetAccountPassword", "account":"tech", "password":"******"})"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
