#include "AudioEndpoints.h"
#include "EmulatedSegment.h"
#include "LiveAudioReader.h"
#include "MulticastBroadcast.h"
#include "MulticastCapture.h"
#include "PulseTestServer.h"
#include "RtpMulticastSession.h"
#include "StreamDestination.h"
#include "StreamReceiver.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <memory>

using namespace orvane;

namespace {

const char Group[] = "239.255.42.7";
const int GroupPort = 5030;

const QVector<PulseTestServer::Sink> Sinks = {
    {"orv_tone", "s16le", 44100, 2},
    {"orv_float48", "float32le", 48000, 2},
    {"orv_mono", "s16le", 48000, 1},
};

// orvane-cli with the arguments, in the namespace when one is given.
struct Cli
{
    int rc = -1;
    QString out, err;
};

Cli runCli(const QString& ns, const QStringList& args)
{
    QProcess p;
    p.start(ns.isEmpty() ? ORVANE_CLI_PATH : "ip",
            (ns.isEmpty() ? QStringList() : QStringList{"netns", "exec", ns, ORVANE_CLI_PATH}) + args);
    const bool ended = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit;
    return {ended ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

class TestLiveBroadcast : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        ORVANE_REQUIRE_PULSE(m_server, Sinks);
    }

    void sourceOpenFailures_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("encoder");
        QTest::newRow("unknown endpoint") << "orv_gone" << 1 << QByteArray();
        QTest::newRow("no id") << "" << 0 << QByteArray();
        // A source name is no render endpoint: kind 1 looks for a sink of that name.
        QTest::newRow("monitor given as a render endpoint") << "orv_tone.monitor" << 1 << QByteArray();
        QTest::newRow("encoder cannot be set up") << "orv_tone" << 1 << QByteArray("nonexistent");
    }
    // Guards that a live source that would send nothing fails the start, leaving no capture thread behind.
    void sourceOpenFailures()
    {
        QFETCH(QString, id);
        QFETCH(int, kind);
        QFETCH(QByteArray, encoder);
        const int threads = settledThreadCount();
        auto* reader = new LiveAudioReader;
        reader->setDevice({id, id, kind});
        reader->setEncoderName(encoder);
        MulticastBroadcast m;
        m.setReader(reader);
        QVERIFY(m.start(Group, GroupPort) < 0);
        QVERIFY(!m.session() && !reader->captureDevice() && !reader->encoder() && !reader->readPacket());
        QTRY_VERIFY_WITH_TIMEOUT(processThreadCount() <= threads, 2000);
        m.stop();
    }
    void liveChainEndToEnd_data()
    {
        QTest::addColumn<int>("sink");
        for (int i = 0; i < Sinks.size(); ++i)
            QTest::newRow(qPrintable(Sinks[i].name)) << i;
    }
    // Guards the whole live chain as an independent receiver sees it: a tone played into a sink, captured
    // from its monitor, encoded and sent, decodes in ffmpeg as a 1 kHz stereo tone at 44.1 kHz for as long
    // as the broadcast ran, over a gapless RTP stream.
    void liveChainEndToEnd()
    {
        QFETCH(int, sink);
        const PulseTestServer::Sink& s = Sinks[sink];
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        PulseTonePlayer player;
        QVERIFY2(player.start(s.name, s.format, s.rate, s.channels, PulseTonePlayer::Sine),
                 qPrintable(player.error()));
        QVERIFY(player.waitUntilFlowing(10000));

        const QString sdp = m_dir.path() + "/live.sdp";
        QFile f(sdp);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                f.write(sessionDescription({Group, GroupPort}, QString(), RtpMulticastSession::MulticastTtl).toUtf8()) > 0);
        f.close();
        StreamReceiver ffmpeg(StreamReceiver::Ffmpeg, nearNs(), m_dir.path() + "/live-" + s.name + ".wav");
        QVERIFY(ffmpeg.start(Group, GroupPort, sdp));

        NetnsScope scope(nearNs());
        MulticastCapture capture;
        QVERIFY(capture.open(Group, GroupPort));
        auto* reader = new LiveAudioReader;
        reader->setDevice({s.name, s.name, AudioEndpoint::Render});
        MulticastBroadcast m;
        m.setReader(reader);
        QElapsedTimer ran;
        ran.start();
        QCOMPARE(m.start(Group, GroupPort), 0);
        // A second and a half of audio: enough for the tone and for a gap to show.
        QVERIFY(MulticastCapture::waitFor([&] { return capture.rtpCount() >= 58; }, 10000));
        m.stop();
        const double seconds = ran.elapsed() / 1000.0;
        player.stop();
        QVERIFY2(ffmpeg.finish(15000), qPrintable(ffmpeg.log()));
        QVERIFY(MulticastCapture::waitFor([&] { return capture.sawRtcp(203); }, 3000));
        capture.stop();

        const auto rtp = capture.rtp();
        QCOMPARE(int64_t(rtp.size()), m.sentPackets());
        for (int i = 1; i < rtp.size(); ++i) {
            const auto a = MulticastCapture::parseRtp(rtp[i - 1].bytes),
                       b = MulticastCapture::parseRtp(rtp[i].bytes);
            QCOMPARE(b.payloadType, 14);
            QCOMPARE(uint16_t(b.sequence - a.sequence), uint16_t(1));
            QCOMPARE(b.timestamp - a.timestamp, 2351u);
        }

        const QVector<float> samples = ffmpeg.samples();
        QCOMPARE(ffmpeg.rate(), 44100);
        QCOMPARE(ffmpeg.channels(), 2);
        const int frames = samples.size() / 2;
        qInfo("broadcast ran %.3f s; %d packets; decoded %.3f s", seconds, int(rtp.size()), frames / 44100.0);
        QVERIFY2(std::abs(frames - int(rtp.size()) * 1152) <= 1152, "decoded length differs from what was sent");
        // The capture starts a little after start(); the encoder's delay and last frame's padding come on top.
        QVERIFY2(frames / 44100.0 > seconds - 0.3 && frames / 44100.0 < seconds + 0.1, "broadcast length is off");

        // Past the encoder's start-up silence and short of its last frame's padding; the pitch is the median
        // over 100 ms windows, as the sound server puts in silence when the player falls behind under load.
        // Gaps are guarded piece by piece: the capture sample by sample, the encoder by its 10 ms levels.
        for (int c = 0; c < 2; ++c) {
            QVector<double> pitch;
            for (int at = 4410; at + 2 * 4410 <= frames; at += 4410)
                pitch.append(toneFrequency(samples, 2, c, at, at + 4410, 44100));
            std::sort(pitch.begin(), pitch.end());
            const double f = pitch[pitch.size() / 2];
            QVERIFY2(std::fabs(f - 1000) < 10, qPrintable(QStringLiteral("channel %1: %2 Hz").arg(c).arg(f)));
        }
    }
    // Guards orvane-cli's listing (kind, id and name, tab-separated) and its failure when no server answers.
    void cliListsSources()
    {
        const Cli table = runCli(QString(), {"sources"});
        QCOMPARE(table.rc, 0);
        const QStringList lines = table.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QString("KIND\tID\tNAME"));
        for (const PulseTestServer::Sink& s : Sinks)
            QVERIFY2(lines.contains(QStringLiteral("1\t%1\t%1").arg(s.name)), qPrintable(table.out));
        QVERIFY(runCli(QString(), {"sources", "--format", "json"}).out.contains("\"id\": \"orv_tone\""));
        QCOMPARE(runCli(QString(), {"sources", "--format", "xml"}).rc, 2);
        QCOMPARE(runCli(QString(), {"sources", "--loud"}).rc, 2);

        // No server is not "no endpoints".
        const QByteArray saved = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:/nonexistent/orvane/native");
        const Cli none = runCli(QString(), {"sources"});
        qputenv("PULSE_SERVER", saved);
        QCOMPARE(none.rc, 1);
        QVERIFY2(none.err.startsWith("orvane-cli sources: no sound server was reached ("), qPrintable(none.err));
    }
    void cliBroadcastsASource_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("errText");
        QTest::newRow("endpoint") << QStringList{"--source", "orv_tone"} << 0 << QString();
        QTest::newRow("its monitor, as PulseAudio names it")
            << QStringList{"--source", "orv_tone.monitor"} << 0 << QString();
        QTest::newRow("unknown endpoint")
            << QStringList{"--source", "orv_gone"} << 1 << "no audio endpoint orv_gone";
        QTest::newRow("endpoint and files")
            << QStringList{"--source", "orv_tone", "x.mp3"} << 2 << "--source broadcasts an endpoint, not files";
        QTest::newRow("empty id") << QStringList{"--source", ""} << 2 << "--source needs an endpoint id";
    }
    // Guards orvane-cli broadcast --source: packets on the wire for an endpoint, a one-line refusal otherwise.
    void cliBroadcastsASource()
    {
        QFETCH(QStringList, extra);
        QFETCH(int, rc);
        QFETCH(QString, errText);
        ORVANE_REQUIRE_MULTICAST_NAMESPACE(m_pair);
        // A refused command line never reaches the sound server: no tone for it.
        PulseTonePlayer player;
        if (rc == 0) {
            QVERIFY(player.start("orv_tone", "s16le", 44100, 2, PulseTonePlayer::Sine));
            QVERIFY(player.waitUntilFlowing(10000));
        }
        NetnsScope scope(nearNs());
        MulticastCapture capture;
        QVERIFY(capture.open(Group, GroupPort));
        const QString to = QStringLiteral("%1:%2").arg(Group).arg(GroupPort);
        const Cli r = runCli(nearNs(), QStringList{"broadcast", "--to", to, "--duration", "0.5"} + extra);
        capture.stop();
        player.stop();
        QCOMPARE(r.rc, rc);
        if (rc == 0) {
            QVERIFY2(r.out.contains("broadcasting what plays on orv_tone (orv_tone)"), qPrintable(r.out));
            QVERIFY(capture.rtpCount() >= 8);
        } else {
            QVERIFY2(r.err.contains(errText), qPrintable(r.err));
            QCOMPARE(capture.rtpCount(), 0);
        }
    }

private:
    QString nearNs() const { return m_pair->namespaceName(NetNamespacePair::Near); }

    PulseTestServer m_server;
    QTemporaryDir m_dir;
    std::unique_ptr<NetNamespacePair> m_pair;
};

QTEST_GUILESS_MAIN(TestLiveBroadcast)
#include "tst_livebroadcast.moc"
