#include "AppConfig.h"
#include "AudioSourceSelector.h"
#include "BroadcastDialog.h"
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

QPoint rowPoint(PlaylistWidget* list, int row)
{
    return list->list()->visualItemRect(list->list()->item(row)).center();
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
    void init() { save({}); }
    void cleanup();

    void refusedStarts_data();
    void refusedStarts();
    void startAndStop();
    void startFromAnEndpoint();
    void filesWithoutAudio_data();
    void filesWithoutAudio();
    void sendFailureStops();

    void addAfterPosition();
    void rowActions_data();
    void rowActions();
    void contextMenu_data();
    void contextMenu();
    void durationsAndNames();
    void drops_data();
    void drops();
    void selector();
    void oneDialog();

private:
    // In the near namespace, with multicast routed over its loopback.
    bool enterNamespace(NetNamespacePair::Side side);
    QString file(const QString& name) const { return m_dir.path() + "/" + name; }
    QStringList files(QStringList names) const
    {
        for (QString& n : names)
            n = n.startsWith('@') ? file(n.mid(1)) : n;
        return names;
    }
    BroadcastDialog* makeDialog();

    QTemporaryDir m_dir;
    std::unique_ptr<NetNamespacePair> m_pair;
    std::unique_ptr<NetnsScope> m_scope;
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

void TestMulticastDialog::cleanup()
{
    delete m_dialog;
    m_dialog = nullptr;
    m_scope.reset();
}

bool TestMulticastDialog::enterNamespace(NetNamespacePair::Side side)
{
    if (!m_pair) {
        m_pair.reset(new NetNamespacePair);
        if (!m_pair->ok() || !m_pair->ip(NetNamespacePair::Near, {"link", "set", "lo", "multicast", "on"}) ||
            !m_pair->ip(NetNamespacePair::Near, {"route", "add", "224.0.0.0/4", "dev", "lo"}))
            return false;
    }
    m_scope.reset(new NetnsScope(m_pair->namespaceName(side)));
    return m_pair->ok();
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
    for (const char* address : {"239.255.0.0", "239.255.0.0:6000:1", ":6000", "239.255.0.0:abc",
                                "239.255.0.0:70000", "speakers:6000", ""})
        QTest::newRow(qPrintable(QStringLiteral("address \"%1\"").arg(address)))
            << address << 0 << "x.mp3" << QString() << bad;
    QTest::newRow("empty play list") << "239.255.0.0:6000" << 0 << QString() << QString() << "Please add file";
    QTest::newRow("None chosen") << "239.255.0.0:6000" << 1 << "x.mp3" << QString() << "Please select audio source";
    // A file that vanished after the dialog listed it.
    QTest::newRow("file that cannot be opened") << "239.255.0.0:6000" << 0 << "missing.mp3" << QString() << failed;
    QTest::newRow("endpoint that cannot be opened") << "239.255.0.0:6000" << 1 << "x.mp3" << "orv_no_such_sink"
                                                    << failed;
}

// Guards the operator's mistakes and a failed start: the message, the
// reason for a failure, idle controls, the configuration untouched, and no
// broadcast left running (also not through a late failure notice).
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
    if (playFile == "missing.mp3")
        QTRY_VERIFY2(d->statusLabel()->text().contains(file(playFile) + " yields no audio"),
                     qPrintable(d->statusLabel()->text()));
    QCoreApplication::processEvents();
    QVERIFY(!d->isRunning());
    QVERIFY(d->startButton()->isEnabled() && d->addressEdit()->isEnabled() && d->playList()->isEditable());
    QVERIFY(!d->stopButton()->isEnabled());
    QCOMPARE(d->playList()->playing(), -1);
    QVERIFY(saved() == before);
}

// Guards a successful start: packets for group and port with the TTL, the
// running state, the playing row in red, the configuration written, the
// double-click jump; Stop returns to idle.
void TestMulticastDialog::startAndStop()
{
    ORVANE_REQUIRE_NETNS();
    QVERIFY2(enterNamespace(NetNamespacePair::Near), qPrintable(m_pair->error()));
    MulticastCapture capture;
    QVERIFY(capture.open("239.255.0.0", 6000));

    const QStringList list = files({"@x.mp3", "@y.mp3", "@z.mp3"});
    save({"", "", list, 1});
    BroadcastDialog* d = makeDialog();
    QCOMPARE(d->tabs()->currentIndex(), 1);
    d->tabs()->setCurrentIndex(0);
    d->addressEdit()->setText("239.255.0.0:6000");
    d->ttlBox()->setValue(9);
    QTest::mouseClick(d->startButton(), Qt::LeftButton);
    QVERIFY(d->isRunning());
    for (QWidget* w : QList<QWidget*>{d->ttlBox(), d->startButton(), d->addressEdit()})
        QVERIFY(!w->isEnabled());
    QVERIFY(d->stopButton()->isEnabled());
    QVERIFY(!d->playList()->isEditable());
    QVERIFY(!d->playList()->makeContextMenu(rowPoint(d->playList(), 1)));
    QTRY_COMPARE(d->playList()->playing(), 0);
    QVERIFY(isRed(row(d->playList(), 0)) && !isRed(row(d->playList(), 1)));
    QVERIFY(MulticastCapture::waitFor([&] { return capture.rtpCount() >= 5; }, 5000));
    QCOMPARE(capture.rtp().first().ttl, 9);
    const Saved after = saved();
    QVERIFY(after == (Saved{"239.255.0.0:6000", "", list, 0}));

    QListWidget* rows = d->playList()->list();
    QSignalSpy spy(d->playList(), &PlaylistWidget::doubleClicked);
    emit rows->itemDoubleClicked(rows->item(0)); // the header row
    emit rows->itemDoubleClicked(rows->item(4)); // the add row
    emit rows->itemDoubleClicked(rows->item(2));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 1);
    QTRY_COMPARE(d->playList()->playing(), 1);

    QTest::mouseClick(d->stopButton(), Qt::LeftButton);
    QVERIFY(!d->isRunning());
    QCOMPARE(d->playList()->playing(), -1);
    QVERIFY(!isRed(row(d->playList(), 1)));
    QVERIFY(d->startButton()->isEnabled());
    QVERIFY(d->statusLabel()->text().isEmpty());
}

// Guards the endpoint tab: a live broadcast starts and remembers its endpoint.
void TestMulticastDialog::startFromAnEndpoint()
{
    ORVANE_REQUIRE_NETNS();
    PulseTestServer server;
    ORVANE_REQUIRE_PULSE(server, (QVector<PulseTestServer::Sink>{{"orv_dialog", "s16le", 44100, 2}}));
    QVERIFY2(enterNamespace(NetNamespacePair::Near), qPrintable(m_pair->error()));
    MulticastCapture capture;
    QVERIFY(capture.open("239.255.0.0", 6000));

    save({"239.255.0.0:6000", "orv_dialog", {}, 1});
    BroadcastDialog* d = makeDialog();
    QCOMPARE(d->selector()->selectedDevice().id, QString("orv_dialog"));
    QTest::mouseClick(d->startButton(), Qt::LeftButton);
    QVERIFY(d->isRunning());
    QVERIFY(MulticastCapture::waitFor([&] { return capture.rtpCount() >= 5; }, 10000));
    QCOMPARE(saved().deviceId, QString("orv_dialog"));
    delete m_dialog; // tearing down a running dialog stops the broadcast
    m_dialog = nullptr;
    server.stop();
}

void TestMulticastDialog::filesWithoutAudio_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("vanishing"); // removed once the broadcast runs
    QTest::addColumn<int>("doubleClick");   // play-list position jumped to, or -1
    QTest::addColumn<QString>("status");    // '@' stands for the folder of the files
    QTest::addColumn<bool>("running");

    const QString skipped = "Skipped @/%1: it yields no audio";
    const QString none = "RTP Multicast stopped: no file in the play list yields audio (@/%1).";
    QTest::newRow("damaged file skipped") << QStringList{"@short.mp3", "@bad.mp3"} << QString() << -1
                                          << skipped.arg("bad.mp3") << true;
    QTest::newRow("damaged file alone") << QStringList{"@bad.mp3"} << QString() << -1 << "bad.mp3" << false;
    QTest::newRow("file vanished, another plays")
        << QStringList{"@short.mp3", "@gone.mp3"} << "gone.mp3" << -1 << skipped.arg("gone.mp3") << true;
    QTest::newRow("only file vanished") << QStringList{"@gone.mp3"} << "gone.mp3" << -1 << none.arg("gone.mp3")
                                        << false;
    QTest::newRow("jump to a vanished file") << QStringList{"@x.mp3", "@y.mp3", "@gone.mp3"} << "gone.mp3" << 2
                                             << skipped.arg("gone.mp3") << true;
}

// Guards a play-list file that gives no audio during a broadcast: the operator
// reads its name, the broadcast goes on with the next file that plays, and
// stops (never shown as playing) when none is left.
void TestMulticastDialog::filesWithoutAudio()
{
    ORVANE_REQUIRE_NETNS();
    QFETCH(QStringList, list);
    QFETCH(QString, vanishing);
    QFETCH(int, doubleClick);
    QFETCH(QString, status);
    QFETCH(bool, running);
    QVERIFY2(enterNamespace(NetNamespacePair::Near), qPrintable(m_pair->error()));
    MulticastCapture capture;
    QVERIFY(capture.open("239.255.0.0", 6000));
    status.replace('@', m_dir.path());
    if (!vanishing.isEmpty()) {
        QFile::remove(file(vanishing));
        QVERIFY(QFile::copy(file("short.mp3"), file(vanishing)));
    }
    save({"239.255.0.0:6000", "", files(list), 0});
    BroadcastDialog* d = makeDialog();
    QTest::mouseClick(d->startButton(), Qt::LeftButton);
    if (!vanishing.isEmpty()) {
        QVERIFY(d->isRunning());
        QVERIFY(QFile::remove(file(vanishing)));
    }
    if (doubleClick >= 0)
        d->onDoubleClickFile(doubleClick);
    QTRY_VERIFY2_WITH_TIMEOUT(d->statusLabel()->text().contains(status), qPrintable(d->statusLabel()->text()), 5000);
    QVERIFY(!toastText(d).isEmpty());
    QCOMPARE(d->isRunning(), running);
    QCOMPARE(d->startButton()->isEnabled(), !running);
    if (!running) {
        QCOMPARE(d->playList()->playing(), -1);
        return;
    }
    // The next file that plays is sent.
    const int before = capture.rtpCount();
    QVERIFY(MulticastCapture::waitFor([&] { return capture.rtpCount() >= before + 5; }, 5000));
    QVERIFY(d->isRunning());
}

// Guards a broadcast whose packets cannot leave (no multicast route): it
// stops by itself and the dialog names the cause instead of showing it playing.
void TestMulticastDialog::sendFailureStops()
{
    ORVANE_REQUIRE_NETNS();
    QVERIFY2(enterNamespace(NetNamespacePair::Far), qPrintable(m_pair->error()));
    save({"239.255.0.0:6000", "", {file("x.mp3")}, 0});
    BroadcastDialog* d = makeDialog();
    QTest::mouseClick(d->startButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!d->isRunning(), 5000);
    QVERIFY(d->startButton()->isEnabled());
    QCOMPARE(d->playList()->playing(), -1);
    const QString status = d->statusLabel()->text();
    QVERIFY2(status.startsWith("RTP Multicast stopped: packets to 239.255.0.0:6000 cannot be sent ("),
             qPrintable(status));
    QCOMPARE(toastText(d), status);
}

// Guards the insertion rule: a multiple selection goes in after the clicked
// row, each at the same position; a file that cannot be played stays out and
// is named with the reason when it is added, not at the start.
void TestMulticastDialog::addAfterPosition()
{
    save({"", "", files({"@x.mp3", "@z.mp3"}), 0});
    BroadcastDialog* d = makeDialog();
    PlaylistWidget& list = *d->playList();
    list.setFileChooser([&] { return files({"@y.mp3", "@bad.mp3", "@short.mp3"}); });
    std::unique_ptr<QMenu> menu(list.makeContextMenu(rowPoint(&list, 1)));
    list.onClickAddFile();
    QCOMPARE(rowNames(&list), (QStringList{"x.mp3", "short.mp3", "y.mp3", "z.mp3"}));
    const QString refused = "cannot play " + file("bad.mp3") + ": it ";
    QVERIFY2(toastText(d).startsWith(refused), qPrintable(toastText(d)));
    QVERIFY(d->statusLabel()->text().startsWith(refused));

    // A click on the add row appends; a cancelled chooser changes nothing.
    QListWidget* inner = list.list();
    for (const QStringList& chosen : {QStringList{file("y.mp3")}, QStringList{}}) {
        list.setFileChooser([chosen] { return chosen; });
        emit inner->itemClicked(inner->item(inner->count() - 1));
        QCOMPARE(list.files().size(), 5);
        QCOMPARE(list.files().last(), file("y.mp3"));
    }
}

void TestMulticastDialog::rowActions_data()
{
    QTest::addColumn<int>("at"); // 1 is the first file
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("Top on the third swaps it with the first") << 3 << "Top" << QStringList{"z.mp3", "y.mp3", "x.mp3"};
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
    list.setFiles(files({"@x.mp3", "@y.mp3", "@z.mp3"}));
    list.setPlaying(at - 1);
    std::unique_ptr<QMenu> menu(list.makeContextMenu(rowPoint(&list, at)));
    QCOMPARE(list.current(), at - 1);
    action == "Top" ? list.onClickTopFile() : list.onClickDeleteFile();
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
    QTest::newRow("file row") << 2 << true << QStringList{"Open In Explorer", "Top", "Add", "Delete"} << 1;
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
    std::unique_ptr<QMenu> menu(list.makeContextMenu(row >= 0 ? rowPoint(&list, row) : QPoint(10, 380)));
    QStringList texts;
    for (QAction* a : menu ? menu->actions() : QList<QAction*>{})
        texts << a->text();
    QCOMPARE(texts, actions);
    QCOMPARE(list.current(), current);
    QCOMPARE(list.header()->isEnabled(), editable);
    QCOMPARE(list.tail()->isEnabled(), editable);
}

// Guards the duration column (for real files, read from their audio stream)
// and the names shown for paths with either separator.
void TestMulticastDialog::durationsAndNames()
{
    const QList<QPair<double, QString>> texts{{59.9, "00:59"}, {3600.9, "60:00"}, {7322, "02:02:02"}, {-5, "00:00"}};
    for (const auto& t : texts)
        QCOMPARE(PlaylistWidget::formatDuration(t.first), t.second);
    const QString hour = file("hour.mp3");
    QVERIFY(makeToneFile(hour, 8000, 3601.5, 1000, "8k", 1));
    PlaylistWidget list;
    list.setFiles({file("x.mp3"), hour, file("none.mp3")});
    QCOMPARE(row(&list, 0)->durationLabel()->text(), QString("00:02"));
    QCOMPARE(row(&list, 1)->durationLabel()->text(), QString("01:00:01"));
    QCOMPARE(row(&list, 2)->durationLabel()->text(), QString("00:00"));
    QCOMPARE(PlaylistWidget::displayName("C:\\music\\b.mp3"), QString("b.mp3"));
    QCOMPARE(PlaylistWidget::displayName("a\\b/c.mp3"), QString("c.mp3"));
    QCOMPARE(PlaylistWidget::displayName("/music/"), QString("/music/"));
    QCOMPARE(PlaylistWidget::displayName("plain.mp3"), QString("plain.mp3"));
}

void TestMulticastDialog::drops_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("added");
    QTest::newRow("mp3 files") << QStringList{"@y.mp3", "@z.mp3"} << false << true << QStringList{"@y.mp3", "@z.mp3"};
    QTest::newRow("a damaged one stays out") << QStringList{"@bad.mp3", "@z.mp3"} << false << true
                                             << QStringList{"@z.mp3"};
    QTest::newRow("one of another kind") << QStringList{"@y.mp3", "/m/c.wav"} << false << false << QStringList{};
    QTest::newRow("suffix in capitals") << QStringList{"/m/A.MP3"} << false << false << QStringList{};
    QTest::newRow("not a local file") << QStringList{"http://example.invalid/a.mp3"} << false << false
                                      << QStringList{};
    QTest::newRow("while broadcasting") << QStringList{"@y.mp3"} << true << false << QStringList{};
}

// Guards drops anywhere on the dialog reaching the play list, by the play list's rules.
void TestMulticastDialog::drops()
{
    QFETCH(QStringList, paths);
    QFETCH(bool, running);
    QFETCH(bool, accepted);
    QFETCH(QStringList, added);
    const QString first = file("x.mp3");
    save({"", "", {first}, 0});
    BroadcastDialog* d = makeDialog();
    d->playList()->setEditable(!running);
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : files(paths))
        urls << (p.startsWith("http") ? QUrl(p) : QUrl::fromLocalFile(p));
    mime.setUrls(urls);
    const QPoint over = d->playList()->mapTo(d, QPoint(20, 20));
    QDragEnterEvent enter(over, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(d, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDropEvent drop(over, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(d, &drop);
    QCOMPARE(d->playList()->files(), QStringList{first} + files(added));
    QVERIFY(saved().files == QStringList{first}); // a drop is saved only with a started broadcast
}

// Guards the endpoint chooser: the remembered endpoint (matched case-sensitively), "None" last.
void TestMulticastDialog::selector()
{
    AudioSourceSelector w;
    const QList<AudioEndpoint> devices{{"mic", "Microphone", 0}, {"spk", "Speakers", 1}};
    w.setDevices(devices, "spk");
    QCOMPARE(w.selectedDevice().id, QString("spk"));
    QCOMPARE(w.buttons()->buttons().size(), 3);
    QCOMPARE(w.buttons()->button(0)->text(), QString("Microphone (mic)"));
    QCOMPARE(w.buttons()->button(2)->text(), QString("None"));
    w.onButtonClicked(2);
    QCOMPARE(w.selectedDevice().id, QString());
    w.setDevices(devices, "SPK");
    QCOMPARE(w.selectedIndex(), 2);
    QVERIFY(w.buttons()->button(2)->isChecked());
    QCOMPARE(w.buttons()->buttons().size(), 3);
    w.setDevices({}, "spk");
    QCOMPARE(w.selectedIndex(), 0);
}

// Guards the one dialog: showing again raises the same one; rejecting deletes
// it. A stored source index out of range leaves the first tab.
void TestMulticastDialog::oneDialog()
{
    save({"", "", {}, 2});
    QVERIFY(!BroadcastDialog::instance());
    BroadcastDialog* first = BroadcastDialog::showOne();
    QCOMPARE(first->tabs()->currentIndex(), 0);
    QCOMPARE(BroadcastDialog::showOne(), first);
    QVERIFY(first->isVisible());
    QPointer<BroadcastDialog> watch(first);
    first->reject();
    QTRY_VERIFY(watch.isNull());
    QVERIFY(!BroadcastDialog::instance());
}

QTEST_MAIN(TestMulticastDialog)
#include "tst_multicastdialog.moc"
