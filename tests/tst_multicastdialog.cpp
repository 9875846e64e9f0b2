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

using namespace orvane;

namespace {

QString toastText(BroadcastDialog* d)
{
    return d->toast() && d->toast()->view() ? d->toast()->view()->label()->text() : QString();
}

// What the dialog keeps of a broadcast: "server|endpoint|files|source tab".
QString saved()
{
    AppConfig c;
    const QString index = QString::number(c.rtpSourceIndex());
    return QStringList{c.rtpServer(), c.deviceId(), c.rtpFileList().join(';'), index}.join('|');
}

void save(const QString& server, const QString& deviceId, const QStringList& files, int index)
{
    AppConfig c;
    c.setRtpServer(server);
    c.setDeviceId(deviceId);
    c.setRtpFileList(files);
    c.setRtpSourceIndex(index);
}

PlaylistItem* row(PlaylistWidget* list, int position)
{
    return qobject_cast<PlaylistItem*>(list->list()->itemWidget(list->list()->item(position + 1)));
}

// The names the rows show, without ".mp3": "x y z".
QString rowNames(PlaylistWidget* list)
{
    QStringList names;
    for (int p = 0; p < list->files().size(); ++p)
        names << (row(list, p) ? row(list, p)->nameLabel()->text().remove(".mp3") : QString("?"));
    return names.join(' ');
}

QPoint rowPoint(PlaylistWidget* list, int r) { return list->list()->visualItemRect(list->list()->item(r)).center(); }

} // namespace

class TestMulticastDialog : public QObject
{
    Q_OBJECT
    // Enters one side of the namespace pair; the near side routes multicast over its loopback.
    bool enterNamespace(NetNamespacePair::Side side)
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

    QString file(const QString& name) const { return m_dir.path() + "/" + name; }
    // '@' stands for the folder of the test files.
    QStringList files(QStringList names) const { return names.replaceInStrings("@", m_dir.path() + "/"); }
    BroadcastDialog* makeDialog() { delete m_dialog; (m_dialog = new BroadcastDialog)->show(); return m_dialog; }

    QTemporaryDir m_dir;
    std::unique_ptr<NetNamespacePair> m_pair;
    std::unique_ptr<NetnsScope> m_scope;
    BroadcastDialog* m_dialog = nullptr;

private slots:
    void init() { save({}, {}, {}, 0); }
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        QVERIFY(makeToneFile(file("x.mp3"), 44100, 2.0, 1000, "128k", 1));
        QVERIFY(QFile::copy(file("x.mp3"), file("y.mp3")) && QFile::copy(file("x.mp3"), file("z.mp3")));
        QVERIFY(makeToneFile(file("short.mp3"), 44100, 0.3, 1000, "128k", 1));
        QFile bad(file("bad.mp3"));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write(QByteArray(4000, 'x')) == 4000);
    }

    void cleanup() { delete m_dialog; m_dialog = nullptr; m_scope.reset(); }

    void refusedStarts_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("source"); // "file:NAME" or "live:ID"; no name: no file, "None" checked
        QTest::addColumn<QString>("message");
        const QString bad = "Please input correct rtp server", failed = "Start RTP Multicast failed";
        for (const char* address : {"239.255.0.0", ":6000", "239.255.0.0:70000", "speakers:6000", ""})
            QTest::newRow(qPrintable(QStringLiteral("\"%1\"").arg(address))) << address << "file:x.mp3" << bad;
        QTest::newRow("empty play list") << "239.255.0.0:6000" << "file:" << "Please add file";
        QTest::newRow("None chosen") << "239.255.0.0:6000" << "live:" << "Please select audio source";
        // A file that vanished after the dialog listed it.
        QTest::newRow("file that cannot be opened") << "239.255.0.0:6000" << "file:missing.mp3" << failed;
        QTest::newRow("endpoint that cannot be opened") << "239.255.0.0:6000" << "live:orv_gone" << failed;
    }

    // Guards the operator's mistakes and a failed start: message, reason naming the file, idle, config kept.
    void refusedStarts()
    {
        QFETCH(QString, address);
        QFETCH(QString, source);
        QFETCH(QString, message);
        const bool live = source.startsWith("live:");
        const QString name = source.mid(5);
        save("239.1.1.1:5000", "orv_long_gone", live || name.isEmpty() ? QStringList{} : files({"@x.mp3"}), 0);
        const QString before = saved();
        BroadcastDialog* d = makeDialog();
        QCOMPARE(d->addressEdit()->text() + d->selector()->selectedDevice().id, QString("239.1.1.1:5000"));
        if (!live && !name.isEmpty())
            d->playList()->setFiles({file(name)});
        if (live && !name.isEmpty())
            d->selector()->setDevices({{name, "Gone", 1}}, name);
        d->addressEdit()->setText(address);
        d->tabs()->setCurrentIndex(live ? 1 : 0);
        QTest::mouseClick(d->startButton(), Qt::LeftButton);
        QCOMPARE(toastText(d), message);
        QVERIFY(!message.endsWith("failed") || d->statusLabel()->text().startsWith(message + ": "));
        if (name == "missing.mp3")
            QTRY_VERIFY(d->statusLabel()->text().contains(file(name) + " yields no audio"));
        QVERIFY(!d->isRunning() && !d->stopButton()->isEnabled() && d->playList()->playing() == -1);
        QVERIFY(d->startButton()->isEnabled() && d->addressEdit()->isEnabled() && d->playList()->isEditable());
        QCOMPARE(saved(), before);
    }

    // Guards a successful start (packets with the TTL, playing row, configuration written, double-click
    // jump, Stop back to idle), then the same from an audio endpoint.
    void startAndStop()
    {
        ORVANE_REQUIRE_NETNS();
        QVERIFY2(enterNamespace(NetNamespacePair::Near), qPrintable(m_pair->error()));
        MulticastCapture capture;
        QVERIFY(capture.open("239.255.0.0", 6000));
        const QStringList list = files({"@x.mp3", "@y.mp3", "@z.mp3"});
        save({}, {}, list, 1);
        BroadcastDialog* d = makeDialog();
        QCOMPARE(d->tabs()->currentIndex(), 1);
        d->tabs()->setCurrentIndex(0);
        d->addressEdit()->setText("239.255.0.0:6000");
        d->ttlBox()->setValue(9);
        QTest::mouseClick(d->startButton(), Qt::LeftButton);
        QVERIFY(d->isRunning() && d->stopButton()->isEnabled() && !d->playList()->isEditable());
        QVERIFY(!d->ttlBox()->isEnabled() && !d->startButton()->isEnabled() && !d->addressEdit()->isEnabled());
        QVERIFY(!d->playList()->makeContextMenu(rowPoint(d->playList(), 1)));
        QTRY_COMPARE(d->playList()->playing(), 0);
        QVERIFY(row(d->playList(), 0)->isPlaying() && !row(d->playList(), 1)->isPlaying());
        QVERIFY(MulticastCapture::waitFor([&] { return capture.rtpCount() >= 5; }, 5000));
        QCOMPARE(capture.rtp().first().ttl, 9);
        QCOMPARE(saved(), "239.255.0.0:6000||" + list.join(';') + "|0");

        QListWidget* rows = d->playList()->list();
        QSignalSpy spy(d->playList(), &PlaylistWidget::doubleClicked);
        for (int r : {0, 4, 2}) // the header row and the add row are no files
            emit rows->itemDoubleClicked(rows->item(r));
        QVERIFY(spy.count() == 1 && spy.at(0).at(0).toInt() == 1);
        QTRY_COMPARE(d->playList()->playing(), 1);

        QTest::mouseClick(d->stopButton(), Qt::LeftButton);
        QVERIFY(!d->isRunning() && d->startButton()->isEnabled() && d->statusLabel()->text().isEmpty());
        QVERIFY(d->playList()->playing() == -1 && !row(d->playList(), 1)->isPlaying());

        PulseTestServer server;
        ORVANE_REQUIRE_PULSE(server, (QVector<PulseTestServer::Sink>{{"orv_dialog", "s16le", 44100, 2}}));
        save("239.255.0.0:6000", "orv_dialog", {}, 1);
        QTest::mouseClick(makeDialog()->startButton(), Qt::LeftButton);
        QVERIFY(m_dialog->isRunning());
        const int before = capture.rtpCount();
        QVERIFY(MulticastCapture::waitFor([&] { return capture.rtpCount() >= before + 5; }, 10000));
        QCOMPARE(saved(), QString("239.255.0.0:6000|orv_dialog||1"));
        delete m_dialog; // tearing down a running dialog stops the broadcast
        m_dialog = nullptr;
    }

    void runsThatFail_data()
    {
        QTest::addColumn<QStringList>("list"); // gone.mp3 is removed once the broadcast runs, vanished.mp3 before
        QTest::addColumn<int>("jump");         // play-list position double-clicked, or -1
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("running");
        const QString skip = "Skipped @%1: it yields no audio";
        const QString none = "RTP Multicast stopped: no file in the play list yields audio (@%1).";
        const QString gone = "@gone.mp3", shortOne = "@short.mp3", bad = "@bad.mp3";
        QTest::newRow("damaged file skipped") << QStringList{shortOne, bad} << -1 << skip.arg("bad.mp3") << true;
        QTest::newRow("first file gone at Start") << QStringList{"@vanished.mp3", shortOne} << -1 << skip.arg("vanished.mp3")
                                            << true;
        QTest::newRow("damaged file alone") << QStringList{bad} << -1 << "bad.mp3" << false;
        QTest::newRow("file vanished, another plays") << QStringList{shortOne, gone} << -1 << skip.arg("gone.mp3")
                                                      << true;
        QTest::newRow("only file vanished") << QStringList{gone} << -1 << none.arg("gone.mp3") << false;
        QTest::newRow("jump to a vanished") << QStringList{"@x.mp3", gone} << 1 << skip.arg("gone.mp3") << true;
        // No multicast route on the far side.
        const QString unsent = "RTP Multicast stopped: packets to 239.255.0.0:6000 cannot be sent (";
        QTest::newRow("packets cannot leave") << QStringList{"@x.mp3"} << -1 << unsent << false;
    }

    // Guards a run that goes wrong after its start: the operator reads what and which file; a file without
    // audio is passed over while another plays; a run that can no longer send stops, never shown as playing.
    void runsThatFail()
    {
        ORVANE_REQUIRE_NETNS();
        QFETCH(QStringList, list);
        QFETCH(int, jump);
        QFETCH(QString, status);
        QFETCH(bool, running);
        const bool routed = !status.contains("cannot be sent");
        QVERIFY2(enterNamespace(routed ? NetNamespacePair::Near : NetNamespacePair::Far),
                 qPrintable(m_pair->error()));
        MulticastCapture capture;
        QVERIFY(!routed || capture.open("239.255.0.0", 6000));
        status = files({status}).first();
        QFile::remove(file("gone.mp3"));
        QVERIFY(QFile::copy(file("short.mp3"), file("gone.mp3")) && QFile::copy(file("short.mp3"), file("vanished.mp3")));
        save("239.255.0.0:6000", {}, files(list), 0);
        BroadcastDialog* d = makeDialog();
        QFile::remove(file("vanished.mp3")); // listed, then gone before Start
        QTest::mouseClick(d->startButton(), Qt::LeftButton);
        QVERIFY(!list.contains("@gone.mp3") || (d->isRunning() && QFile::remove(file("gone.mp3"))));
        if (jump >= 0)
            d->onDoubleClickFile(jump);
        QTRY_VERIFY_WITH_TIMEOUT(d->statusLabel()->text().contains(status), 5000);
        QVERIFY(!toastText(d).isEmpty() && d->isRunning() == running && d->startButton()->isEnabled() != running);
        QCOMPARE(d->playList()->playing() >= 0, running);
        const int before = capture.rtpCount(); // the next file that plays is sent
        QVERIFY(!running || MulticastCapture::waitFor([&] { return capture.rtpCount() >= before + 5; }, 5000));
    }

    // Guards the play list: menus per row kind, insertion after the clicked row, an unplayable file kept
    // out and named when added, Top/Delete, drops on the dialog, no edits while broadcasting.
    void editPlayList()
    {
        save({}, {}, files({"@x.mp3", "@z.mp3"}), 0);
        const QString before = saved();
        BroadcastDialog* d = makeDialog();
        PlaylistWidget& list = *d->playList();
        const QStringList all{"Open In Explorer", "Top", "Add", "Delete"}, add{"Add"};
        // list row (0 the header, 3 the add row, 9 below the rows), menu, current file afterwards
        const std::tuple<int, QStringList, int> menus[]{{0, add, -1}, {3, add, 2}, {9, add, -1}, {1, all, 0}};
        std::unique_ptr<QMenu> menu;
        for (const auto& [at, texts, current] : menus) {
            menu.reset(list.makeContextMenu(at < 9 ? rowPoint(&list, at) : QPoint(10, list.height() - 5)));
            QStringList shown;
            for (QAction* a : menu->actions())
                shown << a->text();
            QVERIFY(shown == texts && list.current() == current);
        }
        list.setFileChooser([&] { return files({"@y.mp3", "@bad.mp3", "@short.mp3"}); });
        list.onClickAddFile();
        QCOMPARE(rowNames(&list), QString("x short y z"));
        QCOMPARE(row(&list, 2)->durationLabel()->text() + row(&list, 1)->durationLabel()->text(), "00:0200:00");
        const QString refused = "cannot play " + file("bad.mp3") + ": it ";
        QVERIFY(toastText(d).startsWith(refused) && d->statusLabel()->text().startsWith(refused));
        // A click on the add row appends; a cancelled chooser changes nothing.
        QListWidget* inner = list.list();
        for (const QStringList& chosen : {files({"@y.mp3"}), QStringList{}}) {
            list.setFileChooser([chosen] { return chosen; });
            emit inner->itemClicked(inner->item(inner->count() - 1));
            QCOMPARE(rowNames(&list), QString("x short y z y"));
        }
        list.setPlaying(2);
        menu.reset(list.makeContextMenu(rowPoint(&list, 3)));
        list.onClickTopFile(); // swaps the file with the first
        QCOMPARE(rowNames(&list), QString("y short x z y"));
        QVERIFY(!row(&list, 0)->isPlaying() && row(&list, 2)->isPlaying()); // the highlight keeps its place
        menu.reset(list.makeContextMenu(rowPoint(&list, 2)));
        list.onClickDeleteFile();
        QCOMPARE(rowNames(&list), QString("y x z y"));
        QCOMPARE(row(&list, 0)->nameLabel()->toolTip(), file("y.mp3"));
        QCOMPARE(PlaylistWidget::formatDuration(3600.9) + PlaylistWidget::formatDuration(3601), "60:0001:00:01");
        const char* const names[][2]{{"C:\\m\\b.mp3", "b.mp3"}, {"a\\b/c", "c"}, {"p", "p"}, {"/m/", "/m/"}};
        for (const auto& name : names) // either separator, none, one at the end
            QCOMPARE(PlaylistWidget::displayName(name[0]), QString(name[1]));

        // Dropped file lists and whether the drop is taken; the last while broadcasting.
        const QPair<QStringList, bool> drops[]{{{"@bad.mp3", "@z.mp3"}, true}, {{"@y.mp3", "/m/c.wav"}, false},
                                               {{"/m/A.MP3"}, false}, {{"http://h.invalid/a.mp3"}, false},
                                               {{"@y.mp3"}, false}};
        for (const auto& drop : drops) {
            list.setEditable(&drop != std::end(drops) - 1);
            QMimeData mime;
            QList<QUrl> urls;
            for (const QString& p : files(drop.first))
                urls << (p.startsWith("http") ? QUrl(p) : QUrl::fromLocalFile(p));
            mime.setUrls(urls);
            const QPoint over = list.mapTo(d, QPoint(20, 20));
            QDragEnterEvent enter(over, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(d, &enter);
            QCOMPARE(enter.isAccepted(), drop.second);
            QDropEvent dropped(over, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(d, &dropped);
        }
        QCOMPARE(rowNames(&list), QString("y x z y z"));
        menu.reset(list.makeContextMenu(rowPoint(&list, 1)));
        QVERIFY(!menu && !list.header()->isEnabled() && !list.tail()->isEnabled());
        QCOMPARE(saved(), before); // the play list is saved only with a started broadcast
    }

    // Guards the endpoint chooser (ids match case-sensitively, "None" last) and the one
    // dialog: shown again, it is the same; rejected, it is gone; a bad stored tab leaves the first.
    void selectorAndOneDialog()
    {
        AudioSourceSelector w;
        const QList<AudioEndpoint> devices{{"mic", "Microphone", 0}, {"spk", "Speakers", 1}};
        w.setDevices(devices, "SPK");
        QCOMPARE(w.buttons()->button(0)->text() + w.buttons()->button(2)->text(), "Microphone (mic)None");
        QVERIFY(w.selectedIndex() == 2 && w.buttons()->button(2)->isChecked() && w.selectedDevice().id.isEmpty());

        save({}, {}, {}, 2);
        BroadcastDialog* first = BroadcastDialog::showOne();
        QVERIFY(first->tabs()->currentIndex() == 0 && BroadcastDialog::showOne() == first && first->isVisible());
        QPointer<BroadcastDialog> watch(first);
        first->reject();
        QTRY_VERIFY(watch.isNull());
        QVERIFY(!BroadcastDialog::instance());
    }
};

QTEST_MAIN(TestMulticastDialog)
#include "tst_multicastdialog.moc"
