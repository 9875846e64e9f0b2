// The search as the operator sees it: what the table lists after pressing
// Search (or after start-up) on a segment of emulated devices.
#include "MainWindowOnSegment.h"
#include "SearchDialog.h"
#include "SettingsPage.h"
#include "AppConfig.h"
#include "CopyingTableView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

class TestDeviceSearch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void tableLists_data();
    void tableLists();
    void deviceAnsweringTwiceIsListedOnce();
    void noDevicesGivesAnEmptyTableAfterTheSearchTime();
    void searchRemovesThePageUntilACellIsClicked();
    void closingTheSearchLeavesTheTableEmpty();
    void searchFrameCarriesTheAlarmTestSetting_data();
    void searchFrameCarriesTheAlarmTestSetting();

private:
    // Starts the devices and the window, and waits for the automatic search.
    std::unique_ptr<MainWindow> start(const QByteArray& config, int generated);

    std::unique_ptr<NetNamespacePair> m_pair;
    EmulatedSegment m_segment;
};

void TestDeviceSearch::initTestCase()
{
    ORVANE_REQUIRE_NETNS();
    Q_INIT_RESOURCE(resources);
    QStandardPaths::setTestModeEnabled(true);
    m_pair.reset(new NetNamespacePair);
    QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
}

void TestDeviceSearch::cleanupTestCase()
{
    m_segment.stop();
    m_pair.reset();
}

void TestDeviceSearch::init()
{
    QFile::remove(AppConfig::filePath());
}

void TestDeviceSearch::cleanup()
{
    m_segment.stop();
}

std::unique_ptr<MainWindow> TestDeviceSearch::start(const QByteArray& config, int generated)
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
    // The automatic search runs once, 100 ms after the window is made.
    if (!finished.wait(20000) && finished.isEmpty())
        return nullptr;
    return window;
}

void TestDeviceSearch::tableLists_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QStringList>("macs");
    QTest::newRow("answers in MAC order")
        << QByteArray(R"([{"mac":"00:0b:00:00:00:02"}, {"mac":"00:1a:00:00:00:01"}])")
        << QStringList{"00:0b:00:00:00:02", "00:1a:00:00:00:01"};
    QTest::newRow("answers against MAC order")
        << QByteArray(R"([{"mac":"00:1a:00:00:00:01"}, {"mac":"00:0b:00:00:00:02", "misbehave":{"delayMs":300}}])")
        << QStringList{"00:0b:00:00:00:02", "00:1a:00:00:00:01"};
    QTest::newRow("later answer first")
        << QByteArray(R"([{"mac":"00:0b:00:00:00:02", "misbehave":{"delayMs":300}}, {"mac":"00:1a:00:00:00:01"}])")
        << QStringList{"00:0b:00:00:00:02", "00:1a:00:00:00:01"};
    // The model check ignores case but not length.
    QTest::newRow("accepted models")
        << QByteArray(R"([{"type":"km41"}, {"type":"KM410"}, {"type":"vqlx63"}, {"type":"XYZ9"}, {"type":"KM4"}])")
        << QStringList{"02:00:00:00:00:01", "02:00:00:00:00:03"};
}

void TestDeviceSearch::tableLists()
{
    QFETCH(QByteArray, config);
    QFETCH(QStringList, macs);
    std::unique_ptr<MainWindow> window = start(config, 0);
    QVERIFY(window);
    QCOMPARE(tableColumn(*window, DeviceTableModel::MacColumn), macs);
    // A second search lists the same, in the same order.
    window->onClickSearchButton(false);
    QCOMPARE(tableColumn(*window, DeviceTableModel::MacColumn), macs);
}

void TestDeviceSearch::deviceAnsweringTwiceIsListedOnce()
{
    std::unique_ptr<MainWindow> window = start(R"([{"misbehave":{"twice":true}}, {}])", 0);
    QVERIFY(window);
    QCOMPARE(tableColumn(*window, DeviceTableModel::MacColumn),
             (QStringList{"02:00:00:00:00:01", "02:00:00:00:00:02"}));
    QCOMPARE(tableColumn(*window, DeviceTableModel::NumberColumn), (QStringList{"1", "2"}));
    QCOMPARE(tableColumn(*window, DeviceTableModel::NameColumn), (QStringList{"Device 1", "Device 2"}));
}

void TestDeviceSearch::noDevicesGivesAnEmptyTableAfterTheSearchTime()
{
    std::unique_ptr<MainWindow> window = start(R"([{"misbehave":{"silent":true}}])", 0);
    QVERIFY(window);
    QCOMPARE(window->model()->rowCount(), 0);
    QElapsedTimer timer;
    timer.start();
    window->onClickSearchButton(false);
    const qint64 elapsed = timer.elapsed();
    // The search collects for its full 2 s whatever answers; bounds for sanity only.
    QVERIFY2(elapsed >= 1900 && elapsed < 10000, qPrintable(QString::number(elapsed)));
    QCOMPARE(window->model()->rowCount(), 0);
    QCOMPARE(window->tableView()->model()->rowCount(), 0);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestDeviceSearch::searchRemovesThePageUntilACellIsClicked()
{
    std::unique_ptr<MainWindow> window = start("[]", 2);
    QVERIFY(window);
    CopyingTableView* table = window->tableView();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(window->model()->index(1, DeviceTableModel::NameColumn)).center());
    SettingsPage* page = window->currentPage();
    QVERIFY(page && page->isVisible());

    bool pageDuringSearch = true;
    QTimer::singleShot(300, [&] { pageDuringSearch = window->currentPage() || page->isVisible(); });
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("searchButton")), Qt::LeftButton);
    QVERIFY(!pageDuringSearch);
    QVERIFY(!window->currentPage());
    QVERIFY(!page->isVisible());
    QCOMPARE(window->model()->rowCount(), 2);

    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(window->model()->index(0, DeviceTableModel::NameColumn)).center());
    QCOMPARE(window->currentPage(), page);
    QCOMPARE(page->currentDevice(), window->model()->deviceAt(0));
}

void TestDeviceSearch::closingTheSearchLeavesTheTableEmpty()
{
    std::unique_ptr<MainWindow> window = start("[]", 3);
    QVERIFY(window);
    QCOMPARE(window->model()->rowCount(), 3);
    bool closed = false;
    QTimer::singleShot(300, [&closed] {
        if (auto* dialog = qobject_cast<SearchDialog*>(QApplication::activeModalWidget())) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            closed = true;
        }
    });
    QElapsedTimer timer;
    timer.start();
    window->onClickSearchButton(false);
    QVERIFY(closed);
    // Closing ends the search at once rather than after its 2 s.
    QVERIFY2(timer.elapsed() < 1900, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(window->model()->rowCount(), 0);
}

void TestDeviceSearch::searchFrameCarriesTheAlarmTestSetting_data()
{
    QTest::addColumn<int>("alarmTest");
    QTest::newRow("on") << 1;
    QTest::newRow("off") << 0;
}

void TestDeviceSearch::searchFrameCarriesTheAlarmTestSetting()
{
    QFETCH(int, alarmTest);
    AppConfig().setAlarmTest(alarmTest);
    std::unique_ptr<MainWindow> window = start("[]", 1);
    QVERIFY(window);
    const QList<ReceivedCommand> searches = m_segment.commands(QStringLiteral("search"));
    QVERIFY(!searches.isEmpty());
    QCOMPARE(searches.first().destination, QStringLiteral("ff:ff:ff:ff:ff:ff"));
    QCOMPARE(searches.first().value("alarmTest"), alarmTest ? QStringLiteral("enable") : QString());
}

QTEST_MAIN(TestDeviceSearch)
#include "tst_devicesearch.moc"
