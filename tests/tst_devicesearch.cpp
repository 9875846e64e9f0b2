// The search as the operator sees it: what the table lists after pressing
// Search (or after start-up) on a segment of emulated devices. One window for
// the whole case: every search of the window lasts its full 2 s.
#include "MainWindowOnSegment.h"
#include "SearchDialog.h"
#include "SettingsPage.h"
#include "AppConfig.h"
#include "CopyingTableView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

using namespace orvane;

namespace {

// Answers against MAC order (the earlier MAC later), models the list accepts
// or not (case is ignored, length is not), a device answering twice, a silent one.
const char Segment[] = R"([{"mac":"00:1a:00:00:00:01"}, {"mac":"00:0b:00:00:00:02", "misbehave":{"delayMs":300}},
    {"type":"km41"}, {"type":"KM410"}, {"type":"vqlx63"}, {"type":"XYZ9"}, {"type":"KM4"},
    {"misbehave":{"twice":true}}, {"misbehave":{"silent":true}}])";
const QStringList Listed{"00:0b:00:00:00:02", "00:1a:00:00:00:01", "02:00:00:00:00:03", "02:00:00:00:00:05",
                         "02:00:00:00:00:08"};

} // namespace

class TestDeviceSearch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        ORVANE_REQUIRE_NETNS();
        Q_INIT_RESOURCE(resources);
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(AppConfig::filePath());
        m_pair.reset(new NetNamespacePair);
        QVERIFY2(m_pair->ok(), qPrintable(m_pair->error()));
        QString error;
        QVERIFY2(m_segment.start(*m_pair, Segment, 0, &error), qPrintable(error));
        m_window = openMainWindow(*m_pair);
        QVERIFY(m_window);
        // The automatic search runs once, 100 ms after the window is made.
        QSignalSpy finished(m_window.get(), &MainWindow::searchFinished);
        QVERIFY(finished.wait(20000) || !finished.isEmpty());
    }
    void cleanupTestCase()
    {
        m_window.reset();
        m_segment.stop();
        m_pair.reset();
    }
    void tableListsAcceptedDevicesOnceInMacOrder()
    {
        QCOMPARE(tableColumn(*m_window, DeviceTableModel::MacColumn), Listed);
        QCOMPARE(tableColumn(*m_window, DeviceTableModel::NumberColumn), (QStringList{"1", "2", "3", "4", "5"}));
        QCOMPARE(tableColumn(*m_window, DeviceTableModel::NameColumn).last(), QStringLiteral("Device 8"));
        const QList<ReceivedCommand> searches = m_segment.commands(QStringLiteral("search"));
        QVERIFY(!searches.isEmpty());
        QCOMPARE(searches.first().destination, QStringLiteral("ff:ff:ff:ff:ff:ff"));
    }
    void searchRemovesThePageUntilACellIsClicked()
    {
        CopyingTableView* table = m_window->tableView();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(m_window->model()->index(1, DeviceTableModel::NameColumn)).center());
        SettingsPage* page = m_window->currentPage();
        QVERIFY(page && page->isVisible());

        bool pageDuringSearch = true;
        QTimer::singleShot(300, [&] { pageDuringSearch = m_window->currentPage() || page->isVisible(); });
        QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("searchButton")), Qt::LeftButton);
        QVERIFY(!pageDuringSearch && !m_window->currentPage() && !page->isVisible());
        // A second search lists the same, in the same order.
        QCOMPARE(tableColumn(*m_window, DeviceTableModel::MacColumn), Listed);

        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(m_window->model()->index(0, DeviceTableModel::NameColumn)).center());
        QCOMPARE(m_window->currentPage(), page);
        QCOMPARE(page->currentDevice(), m_window->model()->deviceAt(0));
    }
    void closingTheSearchEndsItAtOnce_data()
    {
        QTest::addColumn<int>("alarmTest");
        QTest::newRow("alarm test on") << 1;
        QTest::newRow("alarm test off") << 0;
    }
    // The search frame carries the setting; closing the dialog once the frame has
    // gone ends the search at once rather than after its 2 s, with an empty table.
    void closingTheSearchEndsItAtOnce()
    {
        QFETCH(int, alarmTest);
        AppConfig().setAlarmTest(alarmTest);
        const int before = m_segment.commands(QStringLiteral("search")).size();
        bool closed = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<SearchDialog*>(QApplication::activeModalWidget());
            if (dialog && m_segment.commands(QStringLiteral("search")).size() > before) {
                QTest::keyClick(dialog, Qt::Key_Escape);
                closed = true;
                poll.stop();
            }
        });
        poll.start(10);
        QElapsedTimer timer;
        timer.start();
        m_window->onClickSearchButton(false);
        QVERIFY(closed);
        QVERIFY2(timer.elapsed() < 1900, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(m_window->model()->rowCount(), 0);
        QCOMPARE(m_segment.commands(QStringLiteral("search")).last().value("alarmTest"),
                 alarmTest ? QStringLiteral("enable") : QString());
    }
    void noDevicesGivesAnEmptyTableAfterTheSearchTime()
    {
        m_segment.stop();
        QElapsedTimer timer;
        timer.start();
        m_window->onClickSearchButton(false);
        const qint64 elapsed = timer.elapsed();
        // The search collects for its full 2 s whatever answers; bounds for sanity only.
        QVERIFY2(elapsed >= 1900 && elapsed < 10000, qPrintable(QString::number(elapsed)));
        QCOMPARE(m_window->model()->rowCount(), 0);
        QVERIFY(!QApplication::activeModalWidget());
    }

private:
    std::unique_ptr<NetNamespacePair> m_pair;
    EmulatedSegment m_segment;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(TestDeviceSearch)
#include "tst_devicesearch.moc"
