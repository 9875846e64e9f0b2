#include "AudioPacket.h"
#include "EmulatedSegment.h"
#include "AudioReader.h"
#include "AudioRingBuffer.h"
#include "FileAudioReader.h"
#include "FileAudioReaderObserver.h"
#include "MulticastBroadcast.h"
#include "MulticastCapture.h"
#include "RtpMulticastSession.h"
#include "StreamDestination.h"
#include "StreamReceiver.h"

#include <QtTest>
#include <algorithm>
#include <cmath>
#include <thread>

using namespace orvane;

namespace {

const char Group[] = "239.255.42.2";
const int GroupPort = 5010;
const double Frame44 = 1152.0 * 1000.0 / 44100.0; // ms

// A file with an audio stream that holds no audio packet (only video ones).
bool makeSilentContainer(const QString& path)
{
    QProcess p;
    p.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "color=c=black:s=32x32:r=5:d=1",
                       "-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo:d=0.5", "-map", "0:v", "-map", "1:a", "-c:v",
                       "mjpeg", "-c:a", "libmp3lame", "-bsf:a", "noise=drop=1", "-f", "matroska", path});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Records the reader's notices; may run a check from inside them.
class ReaderEvents : public FileAudioReaderObserver
{
public:
    struct Event { bool opened; int position; QString path; };
    std::function<void(FileAudioReader*)> inside;

    void onFileOpened(FileAudioReader* r, int at, const QString& path) override { add(r, {true, at, path}); }
    void onFileOpenFailed(FileAudioReader* r, int at, const QString& path) override { add(r, {false, at, path}); }
    QVector<Event> events() const
    {
        QMutexLocker lock(&m_lock);
        return m_events;
    }
    QVector<int> positions(bool opened) const
    {
        QVector<int> p;
        for (const Event& e : events())
            if (e.opened == opened)
                p.append(e.position);
        return p;
    }
private:
    void add(FileAudioReader* r, const Event& e)
    {
        QMutexLocker lock(&m_lock);
        m_events.append(e);
        lock.unlock();
        if (inside)
            inside(r);
    }
    mutable QMutex m_lock;
    QVector<Event> m_events;
};

// A source that hands out a fixed list of packets and counts how it is used.
class ScriptedReader : public AudioReader
{
public:
    struct Item { int size; double duration; };
    ScriptedReader(QVector<Item> items, bool realTime, bool openOk = true, int stallAt = -1)
        : m_items(std::move(items)), m_realTime(realTime), m_openOk(openOk), m_stallAt(stallAt) {}
    ~ScriptedReader() override { *destroyed = true; }
    bool open() override { return ++opens, m_openOk; }
    void close() override { ++closes; }
    void reset() override {}
    bool isRealTime() override { return m_realTime; }
    int payloadType() override { return 14; }
    AudioPacket* readPacket() override
    {
        ++reads;
        const int at = m_next.load();
        if (at >= m_items.size())
            return nullptr;
        m_next = at + 1;
        if (at == m_stallAt) // holds the send thread up
            QThread::msleep(200);
        QByteArray frame(m_items[at].size, char(at));
        auto* p = new AudioPacket;
        p->setData(reinterpret_cast<const uint8_t*>(frame.constData()), frame.size());
        p->duration = m_items[at].duration;
        p->payloadType = 14;
        return p;
    }

    std::atomic<int> reads{0}, opens{0}, closes{0};
    std::atomic<bool> spare{false};
    std::atomic<bool>* destroyed = &spare;
private:
    QVector<Item> m_items;
    std::atomic<int> m_next{0};
    bool m_realTime, m_openOk;
    int m_stallAt;
};

// Whether the RTP packets follow each other without a gap in the sequence.
bool gapless(const QVector<MulticastCapture::Datagram>& rtp)
{
    for (int i = 1; i < rtp.size(); ++i)
        if (uint16_t(MulticastCapture::parseRtp(rtp[i].bytes).sequence -
                     MulticastCapture::parseRtp(rtp[i - 1].bytes).sequence) != 1)
            return false;
    return true;
}

uint32_t timestampStep(const QVector<MulticastCapture::Datagram>& rtp, int i)
{
    return MulticastCapture::parseRtp(rtp[i].bytes).timestamp - MulticastCapture::parseRtp(rtp[i - 1].bytes).timestamp;
}

template <typename Cond> bool waitFor(Cond cond) { return MulticastCapture::waitFor(cond, 5000); }

// orvane-cli broadcast as its own process in a namespace.
class CliRun : public QProcess
{
public:
    CliRun(const QString& ns, const QStringList& args)
    {
        start("ip", QStringList{"netns", "exec", ns, ORVANE_CLI_PATH, "broadcast"} + args);
    }
    int rc() const { return exitStatus() == QProcess::NormalExit ? exitCode() : -1; }
    QString out() { return m_out += QString::fromUtf8(readAllStandardOutput()); }
    QString err() { return m_err += QString::fromUtf8(readAllStandardError()); }
private:
    QString m_out, m_err;
};

} // namespace

class TestRtpBroadcast : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // tone44 is long enough for the pacing checks to stay within one pass of the file.
        QVERIFY(makeToneFiles({{file("tone44.mp3"), 44100, 4.0}, {file("tone48.mp3"), 48000, 1.0},
                               {file("tone32.mp2"), 32000, 1.5, 1000, "384k"}}));
        QVERIFY(makeSilentContainer(file("noaudio.mka")));
        // Random bytes hold sync words; a huge sparse file once was scanned and buffered whole.
        QFile random(file("random.mp3")), sparse(file("sparse.mp3"));
        QVERIFY(random.open(QIODevice::WriteOnly) && sparse.open(QIODevice::WriteOnly));
        QVERIFY(sparse.resize(256 << 20));
        QByteArray bytes(1 << 20, '\0');
        quint32 x = 12345;
        for (char& c : bytes)
            c = char((x = x * 1664525u + 1013904223u) >> 24);
        random.write(bytes);
    }

    void ringBuffer_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QStringList>("steps"); // "w:bytes" writes, "r:n" reads and records, "z" resets
        QTest::addColumn<QString>("readOut");
        QTest::addColumn<int>("left");
        QTest::newRow("keeps the newest 8 of 10") << 8 << QStringList{"w:abcdef", "w:ghij", "r:8"} << "cdefghij" << 0;
        QTest::newRow("partial read leaves the rest") << 8 << QStringList{"w:abcdef", "r:2"} << "ab" << 4;
        QTest::newRow("oversized write keeps its tail") << 4 << QStringList{"w:abcdefg", "r:4"} << "defg" << 0;
        QTest::newRow("overflow after wrap") << 5 << QStringList{"w:abcd", "r:3", "w:efghij", "r:5"} << "abcfghij" << 0;
        QTest::newRow("reset drops everything") << 8 << QStringList{"w:abcdef", "z", "w:xy", "r:8"} << "xy" << 0;
    }
    // Guards the overwrite rule: the ring holds the newest capacity bytes in order.
    void ringBuffer()
    {
        QFETCH(int, capacity);
        QFETCH(QStringList, steps);
        QFETCH(QString, readOut);
        QFETCH(int, left);
        AudioRingBuffer ring(capacity);
        QByteArray out;
        for (const QString& step : steps) {
            if (step == "z") {
                ring.reset();
            } else if (step.startsWith("w:")) {
                const QByteArray b = step.mid(2).toLatin1();
                ring.write(reinterpret_cast<const uint8_t*>(b.constData()), b.size());
                QVERIFY(ring.count() <= capacity);
            } else {
                QByteArray buffer(step.mid(2).toInt(), 0);
                const int n = ring.read(reinterpret_cast<uint8_t*>(buffer.data()), buffer.size());
                out += buffer.left(n);
            }
        }
        QCOMPARE(QString::fromLatin1(out), readOut);
        QCOMPARE(ring.count(), left);
    }

    // Guards that the frames go out unchanged, in file order, behind four zero bytes.
    void filePackets()
    {
        QFile f(file("tone48.mp3"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        FileAudioReader reader;
        reader.setFiles({f.fileName()});
        QVERIFY(reader.open());
        int at = 0;
        for (int i = 0; i < 30; ++i) {
            std::unique_ptr<AudioPacket> p(reader.readPacket());
            QVERIFY(p);
            QCOMPARE(p->sampleRate, 48000);
            QVERIFY2(std::fabs(p->duration - 24.0) < 1e-6, qPrintable(QString::number(p->duration, 'f', 6)));
            const QByteArray payload(reinterpret_cast<const char*>(p->data()), p->size());
            QCOMPARE(payload.left(4), QByteArray(4, 0));
            QVERIFY(!p->setData(nullptr, -1));
            const int found = bytes.indexOf(payload.mid(4), at);
            QVERIFY2(found >= at, "frame not found in the file after the previous one");
            at = found + payload.size() - 4;
        }
        reader.close();
        QVERIFY(!reader.readPacket());
    }
    void playListEnds_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("change");      // what happens once the first file is open
        QTest::addColumn<QVector<int>>("failed"); // positions reported as failing to open
        QTest::newRow("the second file vanishes") << QStringList{"tone44.mp3", "doomed.mp3"} << "remove" << QVector<int>{1};
        // A division by zero once moved the reader past the end of an emptied list.
        QTest::newRow("list emptied while playing") << QStringList{"tone44.mp3"} << "empty" << QVector<int>{};
        // No file with audio: one pass over the list per call, not an endless walk.
        QTest::newRow("three files without audio") << QStringList{"noaudio.mka", "noaudio.mka", "noaudio.mka"} << "" << QVector<int>{};
        QTest::newRow("random bytes") << QStringList{"random.mp3"} << "" << QVector<int>{};
        QTest::newRow("256 MiB of nothing") << QStringList{"sparse.mp3"} << "" << QVector<int>{};
    }
    // Guards that a play list that can no longer give audio ends the reading
    // where it stands, reports a vanished file once, and never loops for ever.
    void playListEnds()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, change);
        QFETCH(QVector<int>, failed);
        QFile::remove(file("doomed.mp3"));
        QVERIFY(QFile::copy(file("tone44.mp3"), file("doomed.mp3")));
        QStringList paths;
        for (const QString& n : names)
            paths << file(n);
        ReaderEvents events;
        FileAudioReader reader;
        reader.setFiles(paths);
        reader.setObserver(&events);
        if (!reader.open() && names.first() != "tone44.mp3")
            return; // refused at once: as good
        if (change == "remove")
            QVERIFY(QFile::remove(file("doomed.mp3")));
        else if (change == "empty")
            reader.setFiles({});
        int packets = 0;
        while (AudioPacket* p = reader.readPacket()) {
            delete p;
            QVERIFY(++packets < 1000);
        }
        QCOMPARE(packets > 10, names.first() == "tone44.mp3");
        for (int call = 1; call <= 3; ++call) {
            QVERIFY(!reader.readPacket());
            // At most an opening and a "nothing to play" per file and pass.
            QVERIFY(events.events().size() <= 1 + 2 * (call + 1) * names.size());
        }
        if (packets == 0) // the front ends hear that the list gave nothing to play
            QVERIFY(!events.positions(false).isEmpty());
        if (!failed.isEmpty())
            QCOMPARE(events.positions(false), failed);
    }
    // Guards the loop over the play list and the positions reported, and that notices come after the reader's
    // lock is released: an observer that touches the reader (as one that stops the broadcast does) must not hang.
    void playListLoopsOutsideTheLock()
    {
        ReaderEvents events;
        auto stuck = std::make_shared<std::atomic<int>>(0);
        events.inside = [stuck](FileAudioReader* r) {
            auto done = std::make_shared<std::atomic<bool>>(false);
            std::thread t([r, done] {
                r->index();
                *done = true;
            });
            if (MulticastCapture::waitFor([&] { return done->load(); }, 2000)) {
                t.join();
            } else {
                ++*stuck;
                t.detach();
            }
        };
        const QStringList paths{file("tone48.mp3"), file("noaudio.mka"), file("tone48.mp3")};
        FileAudioReader reader;
        reader.setFiles(paths);
        reader.setObserver(&events);
        QVERIFY(reader.open());
        for (int packets = 0; events.positions(true).size() < 4 && packets < 2000; ++packets)
            QVERIFY(std::unique_ptr<AudioPacket>(reader.readPacket()));
        QCOMPARE(events.positions(true).mid(0, 4), (QVector<int>{0, 1, 2, 0}));
        for (const auto& e : events.events())
            QCOMPARE(e.path, paths[e.position]);
        // Positions outside the list open nothing and report nothing.
        const int reported = events.events().size();
        QVERIFY(!reader.openIndex(-1) && !reader.openIndex(3));
        QCOMPARE(events.events().size(), reported);
        QVERIFY(reader.openIndex(0));
        QCOMPARE(stuck->load(), 0);
    }
    // Guards the driver's life cycle: failures are reported, stop frees what start
    // made and leaves the driver spent; a live source is not paced.
    void driverStartAndStop()
    {
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        NetnsScope scope(nearNs());
        QCOMPARE(MulticastBroadcast().start(Group, GroupPort), -1); // no source
        // A source that cannot open; a session that cannot start; a live run.
        for (const int step : {0, 1, 2}) {
            std::atomic<bool> destroyed{false};
            auto* r = step == 0 ? new ScriptedReader({}, false, false) : new ScriptedReader({{100, 1000}, {100, 1000}}, true);
            r->destroyed = &destroyed;
            MulticastBroadcast m;
            m.setReader(r);
            if (step < 2) {
                QVERIFY(m.start(step == 0 ? Group : "239.255.42", GroupPort) < 0);
                QCOMPARE(bool(m.session()), step == 1);
                QCOMPARE(r->opens.load(), 1);
            } else {
                QCOMPARE(m.start(Group, GroupPort), 0);
                QCOMPARE(m.start(Group, GroupPort), -1); // already running
                // Two seconds of live audio go out at once, not at the pace of its durations.
                QVERIFY(MulticastCapture::waitFor([&] { return m.sentPackets() == 2; }, 900));
            }
            m.stop();
            QVERIFY(!m.session());
            QVERIFY(destroyed);
            QCOMPARE(m.start(Group, GroupPort), -1);
        }
    }
    // Guards the stream as a receiver sees it: the per-packet truncation of
    // timestamp steps, the zero-duration packet, that a packet not yet due leaves
    // the source untouched, and last a sender report with this sender's CNAME
    // (user@host, so that two senders are told apart) and the BYE.
    void driverOnTheWire()
    {
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        NetnsScope scope(nearNs());
        MulticastCapture capture;
        QVERIFY(capture.open(Group, GroupPort));
        auto* r = new ScriptedReader({{400, Frame44}, {400, 10.99999}, {400, 0.0}, {400, 24.0}, {400, 300.0}, {400, 300.0}, {400, 20.0}},
                                     false);
        MulticastBroadcast m;
        m.setReader(r);
        QCOMPARE(m.start(Group, GroupPort), 0);
        // Packet 5 is due 300 ms after packet 4: until then the source is not asked.
        QVERIFY(waitFor([&] { return capture.rtpCount() >= 5; }));
        QTest::qWait(100);
        QCOMPARE(r->reads.load(), 5);
        QVERIFY(waitFor([&] { return capture.rtpCount() >= 7; }));
        m.stop();
        QVERIFY(waitFor([&] { return capture.sawRtcp(203); }));
        capture.stop();
        const auto rtp = capture.rtp();
        QCOMPARE(rtp.size(), 7);
        QCOMPARE(m.sentPackets(), int64_t(7));
        QVERIFY(gapless(rtp));
        const uint32_t steps[6] = {2351, 989, 0, 2160, 27000, 27000};
        for (int i = 1; i < rtp.size(); ++i)
            QCOMPARE(timestampStep(rtp, i), steps[i - 1]);
        // Never early: packet 5 is due when the playing time of packets 0 to 4 has passed
        // since the first, however late packet 4 itself went out.
        const double due = Frame44 + 10.99999 + 0.0 + 24.0 + 300.0;
        const double at = double(rtp[5].arrivalNs - rtp[0].arrivalNs) / 1e6;
        QVERIFY2(at >= due - 2, qPrintable(QStringLiteral("%1 ms after the first, due at %2").arg(at).arg(due)));
        // The library draws its report interval at random; what the program controls is
        // the report and CNAME that go out with the BYE when it stops.
        const auto rtcp = capture.rtcp();
        const QVector<int> last = MulticastCapture::rtcpTypes(rtcp.last().bytes);
        QVERIFY2(last.first() == 200 && last.contains(202) && last.contains(203), "the BYE comes without a sender report");
        QVERIFY2(rtcp.last().bytes.contains(RtpMulticastSession::defaultCanonicalName().toUtf8()), "wrong CNAME");
        QVERIFY(rtcp.last().arrivalNs >= rtp.last().arrivalNs);
        // A unicast destination's description carries no TTL.
        QVERIFY(::sessionDescription({"198.18.0.2", 5004}, "198.18.0.1", 4).contains("c=IN IP4 198.18.0.2\r\n"));
    }
    void pacingRecoversAfterStall()
    {
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        NetnsScope scope(nearNs());
        MulticastCapture capture;
        QVERIFY(capture.open(Group, GroupPort));
        const int stallAt = 30, stallMs = 200;
        auto* r = new ScriptedReader(QVector<ScriptedReader::Item>(100, {400, Frame44}), false, true, stallAt);
        MulticastBroadcast m;
        m.setReader(r);
        QCOMPARE(m.start(Group, GroupPort), 0);
        QVERIFY(MulticastCapture::waitFor([&] { return capture.rtpCount() >= 75; }, 15000));
        m.stop();
        capture.stop();
        const auto rtp = capture.rtp();
        QVERIFY(gapless(rtp));
        // How late each packet came against the first one plus the playing time before it, in ms.
        QVector<double> late;
        for (int n = 0; n < rtp.size(); ++n)
            late.append(double(rtp[n].arrivalNs - rtp[0].arrivalNs) / 1e6 - n * Frame44);
        QVERIFY2(late[stallAt] > stallMs * 0.75, qPrintable(QString::number(late[stallAt])));
        // The packets that fell due during the stall (200 ms / 26.1 ms) follow back to back.
        const int burst = int(stallMs / Frame44);
        for (int j = 1; j <= burst; ++j)
            QVERIFY2(late[stallAt + j] - late[stallAt + j - 1] < -Frame44 / 2, qPrintable(QString::number(j)));
        // Back on schedule: a stray late packet of a busy machine does not move the median.
        QVector<double> after = late.mid(stallAt + burst + 2);
        std::sort(after.begin(), after.end());
        QVERIFY2(std::fabs(after[after.size() / 2]) < 5, "the stream did not return to its schedule");
    }
    // Guards the exit codes and message of a refused command line or a failed broadcast, where nothing is
    // routed (the far namespace). All run at once: starting the program is most of what each costs.
    void cliCommandLine()
    {
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        const QString f = file("tone44.mp3"), to = QStringLiteral("239.255.0.1:5004");
        const struct { QStringList args; int rc; QString err; /* a part of the one line on standard error */ } rows[] = {
            {{f}, 2, "--to GROUP:PORT is required"},
            {{"--to", "239.255.0.1", f}, 2, "needs a port"},
            {{"--to", "239.255.0.1:0", f}, 2, "between 1 and 65534"},
            {{"--to", "speakers:5004", f}, 2, "not an IPv4 address"},
            {{"--to", to}, 2, "no file to broadcast"},
            {{"--to", to, "--duration", "-1", f}, 2, "--duration"},
            {{"--to", to, "--ttl", "0", f}, 2, "--ttl takes a number from 1 to 255"},
            {{"--to", to, "--loud", f}, 2, "unknown option --loud"},
            {{f, "--to"}, 2, "--to needs a value"},
            {{"--to", to, "/nonexistent/x.mp3"}, 1, "cannot read"},
            {{"--to", to, "--sdp", "/nonexistent/x.sdp", f}, 1, "cannot write"},
            {{"--to", to, "--adapter", "orvnone0", f}, 1, "no network adapter named orvnone0"},
            {{"--to", "10.0.0.1:6000", "--duration", "5", f}, 1, "packets to 10.0.0.1:6000 cannot be sent: "},
        };
        std::vector<std::unique_ptr<CliRun>> runs;
        for (const auto& row : rows)
            runs.emplace_back(new CliRun(m_pair->namespaceName(NetNamespacePair::Far), row.args));
        for (size_t i = 0; i < runs.size(); ++i) {
            CliRun& run = *runs[i];
            QVERIFY(run.waitForFinished(15000));
            const QString what = rows[i].args.join(' ') + ": " + run.err();
            QVERIFY2(run.rc() == rows[i].rc, qPrintable(what));
            QVERIFY2(run.err().startsWith("orvane-cli broadcast: ") && run.err().contains(rows[i].err), qPrintable(what));
            QVERIFY2(run.err().count('\n') == 1, qPrintable(what));
            if (rows[i].rc == 2)
                QVERIFY2(run.out().isEmpty(), qPrintable(what));
            else if (rows[i].args.contains("--duration")) // nothing counted that failed
                QVERIFY2(run.out().contains(" 0 packets"), qPrintable(run.out()));
        }
    }
    void cliStops_data()
    {
        QTest::addColumn<QString>("how"); // "term", "vanish" (the second file), or a --duration
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("said");
        QTest::newRow("SIGTERM: a clean stop") << "term" << 0 << "interrupted";
        QTest::newRow("a play-list file vanishes: a failure") << "vanish" << 1 << "cannot play ";
        QTest::newRow("its duration is over") << "0.3" << 0 << "stopped after ";
    }
    // Guards how orvane-cli broadcast ends: the exit status, what it says, the
    // description it wrote, and the BYE.
    void cliStops()
    {
        QFETCH(QString, how);
        QFETCH(int, rc);
        QFETCH(QString, said);
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        NetnsScope scope(nearNs());
        MulticastCapture capture;
        QVERIFY(capture.open(Group, GroupPort));
        const QString doomed = file("doomed-cli.mp3"), sdp = file("stream.sdp");
        QFile::remove(doomed);
        QFile::remove(sdp);
        QVERIFY(QFile::copy(file("tone48.mp3"), doomed));
        QStringList args{"--to", QStringLiteral("%1:%2").arg(Group).arg(GroupPort), "--sdp", sdp, file("tone48.mp3"), doomed};
        if (how.toDouble() > 0)
            args << "--duration" << how;
        CliRun run(nearNs(), args);
        QVERIFY(MulticastCapture::waitFor([&] { return capture.rtpCount() >= 3; }, 5000));
        if (how == "term")
            run.terminate();
        else if (how == "vanish")
            QVERIFY(QFile::remove(doomed));
        QVERIFY(run.waitForFinished(10000));
        QCOMPARE(run.rc(), rc);
        QVERIFY2((run.out() + run.err()).contains(said), qPrintable(run.out() + run.err()));
        QVERIFY(MulticastCapture::waitFor([&] { return capture.sawRtcp(203); }, 3000));
        capture.stop();
        QVERIFY(gapless(capture.rtp()));
        QFile description(sdp);
        QVERIFY(description.open(QIODevice::ReadOnly) && description.readAll().contains("m=audio 5010 RTP/AVP 14"));
    }
    // Guards the whole broadcast as standard receivers see it: ffmpeg (on the written description) and
    // GStreamer's rtpmpadepay both decode every frame orvane-cli sent as the right tone, from a gapless stream.
    void independentReceivers()
    {
        // 1728-byte layer II frames at 32 kHz: two pieces each.
        const QString name = "tone32.mp2";
        const int rate = 32000, pieces = 2;
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        std::vector<std::unique_ptr<StreamReceiver>> receivers;
        for (const auto kind : {StreamReceiver::Ffmpeg, StreamReceiver::GStreamer})
            if (StreamReceiver::available(kind))
                receivers.emplace_back(new StreamReceiver(kind, nearNs(), file(QStringLiteral("decoded%1.wav").arg(kind))));
        if (receivers.empty())
            QSKIP("no receiver is installed (tools/install-deps.sh installs them)");
        const QString sdp = file("stream.sdp"), to = QStringLiteral("%1:%2").arg(Group).arg(GroupPort);
        {
            CliRun first(nearNs(), {"--to", to, "--duration", "0.05", "--sdp", sdp, file(name)});
            QVERIFY(first.waitForFinished(10000));
            QCOMPARE(first.rc(), 0);
        }
        for (auto& receiver : receivers)
            QVERIFY(receiver->start(Group, GroupPort, sdp));
        NetnsScope scope(nearNs());
        MulticastCapture capture;
        QVERIFY(capture.open(Group, GroupPort));
        CliRun run(nearNs(), {"--to", to, "--duration", "0.6", file(name)});
        QVERIFY(run.waitForFinished(16000));
        QCOMPARE(run.rc(), 0);
        QVERIFY(MulticastCapture::waitFor([&] { return capture.sawRtcp(203); }, 3000));
        capture.stop();
        const auto match = QRegularExpression("stopped after [0-9.]+ s: ([0-9]+) packets").match(run.out());
        QVERIFY2(match.hasMatch(), qPrintable(run.out()));
        const int sent = match.captured(1).toInt();
        const auto rtp = capture.rtp();
        QCOMPARE(rtp.size(), sent * pieces);
        QVERIFY(gapless(rtp));

        for (auto& receiver : receivers) {
            // A jitter buffer holds the last packets a moment after the BYE; an end of
            // stream that came first would cut them off.
            receiver->waitForFrames(sent * 1152, 5000);
            QVERIFY2(receiver->finish(15000), qPrintable(receiver->log()));
            const QVector<float> pcm = receiver->samples();
            QCOMPARE(receiver->rate(), rate);
            const int frames = pcm.size() / receiver->channels();
            QVERIFY2(frames == sent * 1152, qPrintable(receiver->log() + QString::number(frames / 1152)));
            const double frequency = toneFrequency(pcm, receiver->channels(), 0, rate / 10, frames - rate / 10, rate);
            QVERIFY2(std::fabs(frequency - 1000) < 10, qPrintable(QString::number(frequency)));
        }
    }
private:
    QString nearNs() const { return m_pair->namespaceName(NetNamespacePair::Near); }
    QString file(const QString& name) const { return m_dir.path() + "/" + name; }
    QTemporaryDir m_dir;
    std::unique_ptr<NetNamespacePair> m_pair;
};

QTEST_GUILESS_MAIN(TestRtpBroadcast)
#include "tst_rtpbroadcast.moc"
