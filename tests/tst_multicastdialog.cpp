#include "AppConfig.h"
#include "AudioSourceSelector.h"
#include "BroadcastDialog.h"
#include "MulticastBroadcast.h"
#include "MulticastCapture.h"
#include "NetNamespacePair.h"
#include "PlaylistHeader.h"
#include "PlaylistItem.h"
#include "PlaylistTail.h"
#include "PlaylistView.h"
#include "PlaylistWidget.h"
#include "PulseTestServer.h"
#include "StreamReceiver.h"
#include "Toast.h"
#include "ToastView.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const char Group[] = "239.255.0.0";
const int GroupPort = 6000;

QString toastText(BroadcastDialog* d)
{
    return d->toast() && d->toast()->view() ? d->toast()->view()->label()->text() : QString();
}

struct Saved
{
    QString server, deviceId;
    QStringList files;
    int index = 0;
    bool operator==(const Saved& o) const
    {
        return server == o.server && deviceId == o.deviceId && files == o.files && index == o.index;
    }
};

Saved saved()
{
    AppConfig c;
    return {c.rtpServer(), c.deviceId(), c.rtpFileList(), c.rtpSourceIndex()};
}

void save(const Saved& s)
{
    AppConfig c;
    c.setRtpServer(s.server);
    c.setDeviceId(s.deviceId);
    c.setRtpFileList(s.files);
    c.setRtpSourceIndex(s.index);
}

PlaylistItem* row(PlaylistWidget* list, int position)
{
    return qobject_cast<PlaylistItem*>(list->list()->itemWidget(list->list()->item(position + 1)));
}

QStringList rowNames(PlaylistWidget* list)
{
    QStringList names;
    for (int p = 0; p < list->files().size(); ++p)
        names << (row(list, p) ? row(list, p)->nameLabel()->text() : QString("?"));
    return names;
}

QStringList menuTexts(QMenu* menu)
{
    QStringList t;
    if (menu)
        for (QAction* a : menu->actions())
            t << a->text();
    return t;
}

QPoint rowPoint(PlaylistWidget* list, int row)
{
    return list->list()->visualItemRect(list->list()->item(row)).center();
}

std::unique_ptr<QMimeData> urls(const QStringList& paths)
{
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> list;
    for (const QString& p : paths)
        list << (p.startsWith("http") ? QUrl(p) : QUrl::fromLocalFile(p));
    mime->setUrls(list);
    return mime;
}

bool isRed(PlaylistItem* w)
{
    return w && w->isPlaying() && w->nameLabel()->styleSheet().contains("#ff0000");
}

} // namespace

class TestMulticastDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void refusedStarts_data();
    void refusedStarts();
    void sourceTabFromConfiguration_data();
    void sourceTabFromConfiguration();
    void startWritesConfiguration();
    void startFromAnEndpoint();
    void fileFailingDuringBroadcastStops();
    void sendFailureStops();
    void doubleClickJumps();

    void addAfterPosition();
    void rowActions_data();
    void rowActions();
    void contextMenu_data();
    void contextMenu();
    void durations_data();
    void durations();
    void displayNames_data();
    void displayNames();
    void drops_data();
    void drops();
    void rowsAndLayout();
    void selector();
    void oneDialog();

private:
    bool prepareNamespace();
    QString file(const QString& name) const { return m_dir.path() + "/" + name; }
    BroadcastDialog* makeDialog();

    QTemporaryDir m_dir;
    std::unique_ptr<NetNamespacePair> m_pair;
    BroadcastDialog* m_dialog = nullptr;
};

void TestMulticastDialog::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    QVERIFY(makeToneFile(file("x.mp3"), 44100, 2.0, 1000, "128k", 1));
    QVERIFY(QFile::copy(file("x.mp3"), file("y.mp3")));
    QVERIFY(QFile::copy(file("x.mp3"), file("z.mp3")));
    QVERIFY(makeToneFile(file("short.mp3"), 44100, 0.3, 1000, "128k", 1));
    QFile bad(file("bad.mp3"));
    QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write(QByteArray(4000, 'x')) == 4000);
}

void TestMulticastDialog::init()
{
    save({});
}

void TestMulticastDialog::cleanup()
{
    delete m_dialog;
    m_dialog = nullptr;
}

bool TestMulticastDialog::prepareNamespace()
{
    if (m_pair)
        return m_pair->ok();
    m_pair.reset(new NetNamespacePair);
    return m_pair->ok() && m_pair->ip(NetNamespacePair::Near, {"link", "set", "lo", "multicast", "on"}) &&
           m_pair->ip(NetNamespacePair::Near, {"route", "add", "224.0.0.0/4", "dev", "lo"});
}

BroadcastDialog* TestMulticastDialog::makeDialog()
{
    delete m_dialog;
    m_dialog = new BroadcastDialog;
    m_dialog->show();
    return m_dialog;
}

void TestMulticastDialog::refusedStarts_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("playFile"); // empty: no file in the play list
    QTest::addColumn<QString>("endpoint"); // empty: the remembered one is gone, "None" is checked
    QTest::addColumn<QString>("message");

    const QString bad = "Please input correct rtp server", failed = "Start RTP Multicast failed";
    for (const char* address : {"239.255.0.0", "239.255.0.0:", "239.255.0.0:6000:1", ":6000",
                                "239.255.0.0:abc", "239.255.0.0:0", "239.255.0.0:70000", "speakers:6000", ""})
        QTest::newRow(qPrintable(QStringLiteral("address \"%1\"").arg(address)))
            << address << 0 << "x.mp3" << QString() << bad;
    QTest::newRow("empty play list") << "239.255.0.0:6000" << 0 << QString() << QString()
                                     << "Please add file";
    QTest::newRow("None chosen") << "239.255.0.0:6000" << 1 << "x.mp3" << QString()
                                 << "Please select audio source";
    // A file that vanished after the dialog listed it.
    QTest::newRow("file that cannot be opened")
        << "239.255.0.0:6000" << 0 << "missing.mp3" << QString() << failed;
    QTest::newRow("endpoint that cannot be opened") << "239.255.0.0:6000" << 1 << "x.mp3"
                                                    << "orv_no_such_sink" << failed;
}

// Guards the operator's mistakes and a failed start: the message, the
// reason for a failure, idle controls, the configuration untouched, and no
// broadcast left running (also not through a late stop notice).
void TestMulticastDialog::refusedStarts()
{
    QFETCH(QString, address);
    QFETCH(int, tab);
    QFETCH(QString, playFile);
    QFETCH(QString, endpoint);
    QFETCH(QString, message);
    const Saved before{"239.1.1.1:5000", "orv_long_gone",
                       playFile.isEmpty() ? QStringList{} : QStringList{file("x.mp3")}, 0};
    save(before);
    BroadcastDialog* d = makeDialog();
    QCOMPARE(d->addressEdit()->text(), QString("239.1.1.1:5000"));
    QCOMPARE(d->selector()->selectedDevice().id, QString());
    if (!playFile.isEmpty())
        d->playList()->setFiles({file(playFile)});
    if (!endpoint.isEmpty())
        d->selector()->setDevices({{endpoint, "Gone", 1}}, endpoint);
    d->addressEdit()->setText(address);
    d->tabs()->setCurrentIndex(tab);
    QTest::mouseClick(d->startButton(), Qt::LeftButton);
    QCOMPARE(toastText(d), message);
    if (message == "Start RTP Multicast failed")
        QVERIFY2(d->statusLabel()->text().startsWith(message + ": "), qPrintable(d->statusLabel()->text()));
    QTest::qWait(20);
    QVERIFY(!d->isRunning());
    QVERIFY(d->startButton()->isEnabled() && d->addressEdit()->isEnabled() && d->playList()->isEditable());
    QVERIFY(!d->stopButton()->isEnabled());
    QCOMPARE(d->playList()->playing(), -1);
    QVERIFY(saved() == before);
}

void TestMulticastDialog::sourceTabFromConfiguration_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("tab");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("2 leaves tab 0") << 2 << 0;
    QTest::newRow("negative leaves tab 0") << -1 << 0;
}

void TestMulticastDialog::sourceTabFromConfiguration()
{
    QFETCH(int, index);
    QFETCH(int, tab);
    save({"", "", {}, index});
    QCOMPARE(makeDialog()->tabs()->currentIndex(), tab);
}

// Guards a successful start: packets for group and port, the running state,
// the playing row in red, the configuration written; Stop returns to idle.
void TestMulticastDialog::startWritesConfiguration()
{
    ORVANE_REQUIRE_NETNS();
    QVERIFY2(prepareNamespace(), qPrintable(m_pair->error()));
    NetnsScope scope(m_pair->namespaceName(NetNamespacePair::Near));
    MulticastCapture capture;
    QVERIFY(capture.open(Group, GroupPort));

    const QStringList files{file("x.mp3"), file("y.mp3"), file("z.mp3")};
    save({"", "", files, 1});
    BroadcastDialog* d = makeDialog();
    d->tabs()->setCurrentIndex(0);
    d->addressEdit()->setText("239.255.0.0:6000");
    d->ttlBox()->setValue(9);
    QTest::mouseClick(d->startButton(), Qt::LeftButton);
    QVERIFY(d->isRunning());
    QVERIFY(!d->ttlBox()->isEnabled());
    QVERIFY(!d->startButton()->isEnabled());
    QVERIFY(d->stopButton()->isEnabled());
    QVERIFY(!d->addressEdit()->isEnabled());
    QVERIFY(!d->playList()->isEditable());
    QVERIFY(!d->playList()->makeContextMenu(rowPoint(d->playList(), 1)));
    QVERIFY(QTest::qWaitFor([&] { return d->playList()->playing() == 0; }, 2000));
    QVERIFY(isRed(row(d->playList(), 0)));
    QVERIFY(!isRed(row(d->playList(), 1)));
    QVERIFY(MulticastCapture::waitFor([&] { return capture.rtpCount() >= 5; }, 5000));
    QCOMPARE(capture.rtp().first().ttl, 9);

    const Saved after = saved();
    QCOMPARE(after.server, QString("239.255.0.0:6000"));
    QCOMPARE(after.files, files);
    QCOMPARE(after.index, 0);

    QTest::mouseClick(d->stopButton(), Qt::LeftButton);
    QVERIFY(!d->isRunning());
    QCOMPARE(d->playList()->playing(), -1);
    QVERIFY(!isRed(row(d->playList(), 0)));
    QVERIFY(d->startButton()->isEnabled());
    capture.stop();
}

// Guards the endpoint tab: a live broadcast starts and remembers its endpoint.
void TestMulticastDialog::startFromAnEndpoint()
{
    ORVANE_REQUIRE_NETNS();
    PulseTestServer server;
    ORVANE_REQUIRE_PULSE(server, (QVector<PulseTestServer::Sink>{{"orv_dialog", "s16le", 44100, 2}}));
    QVERIFY2(prepareNamespace(), qPrintable(m_pair->error()));
    NetnsScope scope(m_pair->namespaceName(NetNamespacePair::Near));
    MulticastCapture capture;
    QVERIFY(capture.open(Group, GroupPort));

    save({"239.255.0.0:6000", "orv_dialog", {}, 1});
    BroadcastDialog* d = makeDialog();
    QCOMPARE(d->tabs()->currentIndex(), 1);
    QCOMPARE(d->selector()->selectedDevice().id, QString("orv_dialog"));
    QTest::mouseClick(d->startButton(), Qt::LeftButton);
    QVERIFY(d->isRunning());
    QVERIFY(MulticastCapture::waitFor([&] { return capture.rtpCount() >= 5; }, 10000));
    const Saved after = saved();
    QCOMPARE(after.deviceId, QString("orv_dialog"));
    QCOMPARE(after.index, 1);
    delete m_dialog; // tearing down a running dialog stops the broadcast
    m_dialog = nullptr;
    capture.stop();
    server.stop();
}

// Guards the stop when a play-list file vanishes: no message, idle, highlight cleared.
void TestMulticastDialog::fileFailingDuringBroadcastStops()
{
    ORVANE_REQUIRE_NETNS();
    QVERIFY2(prepareNamespace(), qPrintable(m_pair->error()));
    NetnsScope scope(m_pair->namespaceName(NetNamespacePair::Near));
    const QString doomed = file("doomed.mp3");
    QFile::remove(doomed);
    QVERIFY(QFile::copy(file("x.mp3"), doomed));
    save({"239.255.0.0:6000", "", {file("short.mp3"), doomed}, 0});
    BroadcastDialog* d = makeDialog();
    QTest::mouseClick(d->startButton(), Qt::LeftButton);
    QVERIFY(d->isRunning());
    QVERIFY(QFile::remove(doomed));
    QVERIFY(QTest::qWaitFor([&] { return !d->isRunning(); }, 5000));
    QCOMPARE(d->playList()->playing(), -1);
    for (int p = 0; p < 2; ++p)
        QVERIFY(!isRed(row(d->playList(), p)));
    QVERIFY(d->startButton()->isEnabled());
    QVERIFY(d->playList()->isEditable());
    QCOMPARE(toastText(d), QString());
    QVERIFY2(d->statusLabel()->text().contains("cannot play " + doomed),
             qPrintable(d->statusLabel()->text()));
}

// Guards a broadcast whose packets cannot leave (no multicast route): it
// stops by itself and the dialog names the cause instead of showing it playing.
void TestMulticastDialog::sendFailureStops()
{
    ORVANE_REQUIRE_NETNS();
    QVERIFY2(prepareNamespace(), qPrintable(m_pair->error()));
    NetnsScope scope(m_pair->namespaceName(NetNamespacePair::Far));
    save({"239.255.0.0:6000", "", {file("x.mp3")}, 0});
    BroadcastDialog* d = makeDialog();
    QTest::mouseClick(d->startButton(), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !d->isRunning(); }, 5000));
    QVERIFY(d->startButton()->isEnabled());
    QCOMPARE(d->playList()->playing(), -1);
    const QString status = d->statusLabel()->text();
    QVERIFY2(status.startsWith("RTP Multicast stopped: packets to 239.255.0.0:6000 cannot be sent ("),
             qPrintable(status));
    QCOMPARE(toastText(d), status);
}

// Guards the double-click jump, and that a jump to a file that cannot be
// opened stops the broadcast without freeing the reader under its own call.
void TestMulticastDialog::doubleClickJumps()
{
    ORVANE_REQUIRE_NETNS();
    QVERIFY2(prepareNamespace(), qPrintable(m_pair->error()));
    NetnsScope scope(m_pair->namespaceName(NetNamespacePair::Near));
    const QString doomed = file("doomed2.mp3");
    QFile::remove(doomed);
    QVERIFY(QFile::copy(file("x.mp3"), doomed));
    save({"239.255.0.0:6000", "", {file("x.mp3"), file("y.mp3"), doomed}, 0});
    BroadcastDialog* d = makeDialog();
    QTest::mouseClick(d->startButton(), Qt::LeftButton);
    QVERIFY(d->isRunning());
    QListWidget* list = d->playList()->list();
    QSignalSpy spy(d->playList(), &PlaylistWidget::doubleClicked);
    emit list->itemDoubleClicked(list->item(2));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 1);
    QVERIFY(QTest::qWaitFor([&] { return d->playList()->playing() == 1; }, 2000));
    emit list->itemDoubleClicked(list->item(0)); // the header row
    emit list->itemDoubleClicked(list->item(4)); // the add row
    QCOMPARE(spy.count(), 1);

    QVERIFY(QFile::remove(doomed));
    d->onDoubleClickFile(2);
    QVERIFY(QTest::qWaitFor([&] { return !d->isRunning(); }, 2000));
    QCOMPARE(d->playList()->playing(), -1);
}

// Guards the insertion rule: a multiple selection goes in after the clicked
// row, each at the same position; a file that cannot be played stays out and
// is named with the reason when it is added, not at the start.
void TestMulticastDialog::addAfterPosition()
{
    save({"", "", {file("x.mp3"), file("z.mp3")}, 0});
    BroadcastDialog* d = makeDialog();
    PlaylistWidget& list = *d->playList();
    list.setFileChooser([&] { return QStringList{file("y.mp3"), file("bad.mp3"), file("short.mp3")}; });
    std::unique_ptr<QMenu> menu(list.makeContextMenu(rowPoint(&list, 1)));
    QCOMPARE(list.current(), 0);
    list.onClickAddFile();
    QCOMPARE(rowNames(&list), (QStringList{"x.mp3", "short.mp3", "y.mp3", "z.mp3"}));
    const QString refused = "cannot play " + file("bad.mp3") + ": it ";
    QVERIFY2(toastText(d).startsWith(refused), qPrintable(toastText(d)));
    QVERIFY(d->statusLabel()->text().startsWith(refused));

    // A click on the add row appends.
    list.setFileChooser([&] { return QStringList{file("y.mp3")}; });
    QListWidget* inner = list.list();
    emit inner->itemClicked(inner->item(inner->count() - 1));
    QCOMPARE(list.files().last(), file("y.mp3"));
    // A cancelled dialog changes nothing.
    list.setFileChooser([] { return QStringList{}; });
    emit inner->itemClicked(inner->item(inner->count() - 1));
    QCOMPARE(list.files().size(), 5);
}

void TestMulticastDialog::rowActions_data()
{
    QTest::addColumn<int>("at"); // 1 is the first file
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("Top on the third swaps it with the first")
        << 3 << "Top" << QStringList{"z.mp3", "y.mp3", "x.mp3"};
    QTest::newRow("Top on the first does nothing") << 1 << "Top" << QStringList{"x.mp3", "y.mp3", "z.mp3"};
    QTest::newRow("Delete removes the row") << 2 << "Delete" << QStringList{"x.mp3", "z.mp3"};
}

// Guards the context-menu actions on the rows; the highlight stays on its
// position, and goes with a deleted row.
void TestMulticastDialog::rowActions()
{
    QFETCH(int, at);
    QFETCH(QString, action);
    QFETCH(QStringList, names);
    PlaylistWidget list;
    list.resize(300, 400);
    list.show();
    list.setFiles({file("x.mp3"), file("y.mp3"), file("z.mp3")});
    list.setPlaying(at - 1);
    std::unique_ptr<QMenu> menu(list.makeContextMenu(rowPoint(&list, at)));
    QCOMPARE(list.current(), at - 1);
    if (action == "Top")
        list.onClickTopFile();
    else
        list.onClickDeleteFile();
    QCOMPARE(rowNames(&list), names);
    QCOMPARE(list.list()->count(), names.size() + 2);
    QCOMPARE(row(&list, 0)->nameLabel()->toolTip(), file(names.first()));
    for (int p = 0; p < names.size(); ++p)
        QCOMPARE(isRed(row(&list, p)), action == "Top" && p == at - 1);
}

void TestMulticastDialog::contextMenu_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("editable");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<int>("current");

    const QStringList full{"Open In Explorer", "Top", "Add", "Delete"};
    QTest::newRow("file row") << 2 << true << full << 1;
    QTest::newRow("header row") << 0 << true << QStringList{"Add"} << -1;
    QTest::newRow("add row") << 3 << true << QStringList{"Add"} << 2;
    QTest::newRow("below the rows") << -1 << true << QStringList{"Add"} << -1;
    QTest::newRow("while broadcasting") << 2 << false << QStringList{} << -1;
}

void TestMulticastDialog::contextMenu()
{
    QFETCH(int, row);
    QFETCH(bool, editable);
    QFETCH(QStringList, actions);
    QFETCH(int, current);
    PlaylistWidget list;
    list.resize(300, 400);
    list.show();
    list.setFiles({"/m/x.mp3", "/m/y.mp3"});
    list.setEditable(editable);
    const QPoint at = row >= 0 ? rowPoint(&list, row) : QPoint(10, 380);
    std::unique_ptr<QMenu> menu(list.makeContextMenu(at));
    QCOMPARE(menuTexts(menu.get()), actions);
    QCOMPARE(list.current(), current);
    QCOMPARE(list.header()->isEnabled(), editable);
    QCOMPARE(list.tail()->isEnabled(), editable);
}

void TestMulticastDialog::durations_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<bool>("fromFile"); // a real file of that length in the play list
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0.0 << false << "00:00";
    QTest::newRow("59.9 truncated") << 59.9 << false << "00:59";
    QTest::newRow("3600.9") << 3600.9 << false << "60:00";
    QTest::newRow("3601") << 3601.0 << false << "01:00:01";
    QTest::newRow("7322") << 7322.0 << false << "02:02:02";
    QTest::newRow("negative") << -5.0 << false << "00:00";
    QTest::newRow("file of two seconds") << 2.0 << true << "00:02";
    QTest::newRow("file of an hour and a second") << 3601.5 << true << "01:00:01";
    QTest::newRow("no such file") << -1.0 << true << "00:00";
}

// Guards the duration column, for real files read from their audio stream.
void TestMulticastDialog::durations()
{
    QFETCH(double, seconds);
    QFETCH(bool, fromFile);
    QFETCH(QString, text);
    if (!fromFile) {
        QCOMPARE(PlaylistWidget::formatDuration(seconds), text);
        return;
    }
    const QString path = file(QStringLiteral("d%1.mp3").arg(seconds));
    if (seconds > 0 && !QFile::exists(path))
        QVERIFY(makeToneFile(path, 8000, seconds, 1000, "8k", 1));
    PlaylistWidget list;
    list.setFiles({path});
    QCOMPARE(row(&list, 0)->durationLabel()->text(), text);
}

void TestMulticastDialog::displayNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("slash") << "/music/a.mp3"
                           << "a.mp3";
    QTest::newRow("backslash") << "C:\\music\\b.mp3"
                               << "b.mp3";
    QTest::newRow("later separator wins") << "a\\b/c.mp3"
                                          << "c.mp3";
    QTest::newRow("separator last") << "/music/"
                                    << "/music/";
    QTest::newRow("no separator") << "plain.mp3"
                                  << "plain.mp3";
}

void TestMulticastDialog::displayNames()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(PlaylistWidget::displayName(path), name);
}

void TestMulticastDialog::drops_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("added");
    QTest::newRow("mp3 files") << QStringList{"@y.mp3", "@z.mp3"} << false << true
                               << QStringList{"@y.mp3", "@z.mp3"};
    QTest::newRow("a damaged one stays out")
        << QStringList{"@bad.mp3", "@z.mp3"} << false << true << QStringList{"@z.mp3"};
    QTest::newRow("one of another kind")
        << QStringList{"@y.mp3", "/m/c.wav"} << false << false << QStringList{};
    QTest::newRow("suffix in capitals") << QStringList{"/m/A.MP3"} << false << false << QStringList{};
    QTest::newRow("not a local file")
        << QStringList{"http://example.invalid/a.mp3"} << false << false << QStringList{};
    QTest::newRow("while broadcasting") << QStringList{"@y.mp3"} << true << false << QStringList{};
}

// Guards drops anywhere on the dialog reaching the play list, by the play list's rules.
void TestMulticastDialog::drops()
{
    QFETCH(QStringList, paths);
    QFETCH(bool, running);
    QFETCH(bool, accepted);
    QFETCH(QStringList, added);
    for (QStringList* l : {&paths, &added})
        for (QString& p : *l)
            if (p.startsWith('@'))
                p = file(p.mid(1));
    const QString first = file("x.mp3");
    save({"", "", {first}, 0});
    BroadcastDialog* d = makeDialog();
    QVERIFY(d->acceptDrops());
    d->playList()->setEditable(!running);
    auto mime = urls(paths);
    const QPoint over = d->playList()->mapTo(d, QPoint(20, 20));
    QDragEnterEvent enter(over, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(d, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDropEvent drop(over, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(d, &drop);
    QCOMPARE(d->playList()->files(), QStringList{first} + added);
    QVERIFY(saved().files == QStringList{first}); // a drop is saved only with a started broadcast
}

// Guards what the operator reads in a fresh dialog: the texts, the default TTL, the rows of the play list.
void TestMulticastDialog::rowsAndLayout()
{
    save({"", "", {file("x.mp3")}, 0});
    BroadcastDialog* d = makeDialog();
    QCOMPARE(d->addressEdit()->placeholderText(), QString("eg. 239.255.0.0:6000"));
    QCOMPARE(d->tabs()->tabText(0), QString("Audio Medias"));
    QCOMPARE(d->tabs()->tabText(1), QString("Audio Source"));
    QCOMPARE(d->ttlBox()->value(), 255);
    QVERIFY(!d->stopButton()->isEnabled());
    QCOMPARE(d->playList()->list()->count(), 3); // header, the file, the add row
    QCOMPARE(d->playList()->header()->nameLabel()->text(), QString("Name"));
    QCOMPARE(d->playList()->header()->durationLabel()->text(), QString("Duration"));
    QCOMPARE(row(d->playList(), 0)->durationLabel()->text(), QString("00:02"));
}

// Guards the endpoint chooser: icons by kind, the remembered endpoint, "None" last.
void TestMulticastDialog::selector()
{
    AudioSourceSelector w;
    const QList<AudioEndpoint> devices{{"mic", "Microphone", 0}, {"spk", "Speakers", 1}};
    w.setDevices(devices, "spk");
    QCOMPARE(w.selectedIndex(), 1);
    QCOMPARE(w.selectedDevice().id, QString("spk"));
    const QList<QAbstractButton*> buttons = w.buttons()->buttons();
    QCOMPARE(buttons.size(), 3);
    QCOMPARE(w.buttons()->button(0)->text(), QString("Microphone (mic)"));
    QCOMPARE(w.buttons()->button(2)->text(), QString("None"));
    QVERIFY(w.buttons()->button(1)->isChecked());
    w.onButtonClicked(2);
    QCOMPARE(w.selectedDevice().id, QString());
    // Ids match case-sensitively; a list again replaces the old buttons.
    w.setDevices(devices, "SPK");
    QCOMPARE(w.selectedIndex(), 2);
    QVERIFY(w.buttons()->button(2)->isChecked());
    QCOMPARE(w.buttons()->buttons().size(), 3);
    w.setDevices({}, "spk");
    QCOMPARE(w.selectedIndex(), 0);
}

// Guards the one dialog: showing again raises the same one; rejecting deletes it.
void TestMulticastDialog::oneDialog()
{
    QVERIFY(!BroadcastDialog::instance());
    BroadcastDialog* first = BroadcastDialog::showOne();
    QCOMPARE(BroadcastDialog::instance(), first);
    QCOMPARE(BroadcastDialog::showOne(), first);
    QVERIFY(first->isVisible());
    QPointer<BroadcastDialog> watch(first);
    first->reject();
    QVERIFY(QTest::qWaitFor([&] { return watch.isNull(); }, 2000));
    QVERIFY(!BroadcastDialog::instance());
}

QTEST_MAIN(TestMulticastDialog)
#include "tst_multicastdialog.moc"
