#include "AudioCapture.h"
#include "MulticastCapture.h"
#include "NetNamespacePair.h"
#include "PulseTestServer.h"
#include "LiveAudioEncoder.h"
#include "AudioPacket.h"
#include "MulticastBroadcast.h"
#include "AudioPacketQueue.h"
#include "LiveAudioReader.h"
#include "AudioEndpoints.h"
#include "RtpMulticastSession.h"
#include "CliBroadcast.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <memory>
#include <thread>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace {

const char Group[] = "239.255.42.7";
const int GroupPort = 5030;

const QVector<PulseTestServer::Sink> Sinks = {
    {"orv_tone", "s16le", 44100, 2},
    {"orv_float48", "float32le", 48000, 2},
    {"orv_mono", "s16le", 48000, 1},
};

struct Wav
{
    bool ok = false;
    int rate = 0;
    int channels = 0;
    int bits = 0;
    QVector<float> samples; // interleaved
};

quint32 le32(const char* p)
{
    return quint32(uchar(p[0])) | quint32(uchar(p[1])) << 8 | quint32(uchar(p[2])) << 16 |
           quint32(uchar(p[3])) << 24;
}
quint16 le16(const char* p)
{
    return quint16(uchar(p[0]) | uchar(p[1]) << 8);
}

// A float WAV file as ffmpeg writes it.
Wav readWav(const QString& path)
{
    Wav w;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return w;
    const QByteArray b = f.readAll();
    if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE")
        return w;
    int at = 12;
    while (at + 8 <= b.size()) {
        const QByteArray id = b.mid(at, 4);
        const quint32 size = le32(b.constData() + at + 4);
        const char* body = b.constData() + at + 8;
        const int left = b.size() - at - 8;
        if (id == "fmt " && left >= 16) {
            w.channels = le16(body + 2);
            w.rate = int(le32(body + 4));
            w.bits = le16(body + 14);
        } else if (id == "data") {
            const int n = int(std::min<qint64>(size, left)) / 4;
            w.samples.resize(n);
            memcpy(w.samples.data(), body, size_t(n) * 4);
            w.ok = w.bits == 32 && w.channels > 0;
            return w;
        }
        at += 8 + int(size) + int(size & 1);
    }
    return w;
}

double frequencyOf(const QVector<float>& s, int channels, int channel, int from, int to, int rate)
{
    int crossings = 0;
    for (int i = from + 1; i < to; ++i)
        crossings += (s[(i - 1) * channels + channel] < 0) != (s[i * channels + channel] < 0);
    return crossings / 2.0 / (double(to - from) / rate);
}

bool hasRtcpType(const MulticastCapture& c, int type)
{
    for (const auto& d : c.rtcp())
        if (MulticastCapture::rtcpTypes(d.bytes).contains(type))
            return true;
    return false;
}

} // namespace

class TestLiveBroadcast : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void sourceOpenFailures_data();
    void sourceOpenFailures();
    void sourceProducesFramesAndResets();
    void liveChainEndToEnd_data();
    void liveChainEndToEnd();
    void cliListsSources();
    void cliBroadcastsASource_data();
    void cliBroadcastsASource();

private:
    bool prepareNamespace();
    QString nearNs() const { return m_pair->namespaceName(NetNamespacePair::Near); }

    PulseTestServer m_server;
    QTemporaryDir m_dir;
    std::unique_ptr<NetNamespacePair> m_pair;
};

void TestLiveBroadcast::initTestCase()
{
    QVERIFY(m_dir.isValid());
    ORVANE_REQUIRE_PULSE(m_server, Sinks);
}

void TestLiveBroadcast::cleanupTestCase()
{
    m_pair.reset();
    m_server.stop();
}

bool TestLiveBroadcast::prepareNamespace()
{
    if (m_pair)
        return m_pair->ok();
    m_pair.reset(new NetNamespacePair);
    return m_pair->ok() && m_pair->ip(NetNamespacePair::Near, {"link", "set", "lo", "multicast", "on"}) &&
           m_pair->ip(NetNamespacePair::Near, {"route", "add", "224.0.0.0/4", "dev", "lo"});
}

void TestLiveBroadcast::sourceOpenFailures_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("encoder");
    QTest::newRow("unknown endpoint") << "orv_gone" << 1 << QByteArray();
    QTest::newRow("no id") << "" << 0 << QByteArray();
    QTest::newRow("encoder cannot be set up") << "orv_tone" << 1 << QByteArray("nonexistent");
}

// Guards that a live source that would send nothing fails the driver's start
// instead of running silent, and leaves no capture thread behind.
void TestLiveBroadcast::sourceOpenFailures()
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
    QVERIFY(!m.session());
    QVERIFY(!reader->captureDevice());
    QVERIFY(!reader->encoder());
    QVERIFY(!reader->readPacket());
    QTRY_VERIFY_WITH_TIMEOUT(processThreadCount() <= threads, 2000);
    m.stop();
}

// Guards the capture source on its own: 44.1 kHz stereo packets of one MP3
// frame each, payload type 14, real time, and reset() dropping the backlog.
void TestLiveBroadcast::sourceProducesFramesAndResets()
{
    PulseTonePlayer player;
    QVERIFY2(player.start("orv_float48", "float32le", 48000, 2, PulseTonePlayer::Sine),
             qPrintable(player.error()));
    QVERIFY(player.waitUntilFlowing(10000));
    LiveAudioReader reader;
    reader.setDevice({"orv_float48", "orv_float48", AudioEndpoint::Render});
    QVERIFY(reader.isRealTime());
    QCOMPARE(reader.payloadType(), 14);
    QVERIFY(!reader.readPacket());
    QVERIFY(reader.open());
    QVERIFY(reader.encoder());
    QCOMPARE(reader.encoder()->outputRate(), 44100);
    QCOMPARE(reader.encoder()->outputChannels(), 2);
    QCOMPARE(LiveAudioReader::sampleFormatOf(*reader.captureDevice()->mixFormat()),
             int(AV_SAMPLE_FMT_FLT));
    QVERIFY(QTest::qWaitFor([&] { return reader.encoder()->packets()->size() >= 10; }, 5000));
    AudioPacket* p = reader.readPacket();
    QVERIFY(p);
    QCOMPARE(p->sampleRate, 44100);
    QCOMPARE(p->channels, 2);
    QCOMPARE(p->payloadType, 14);
    QVERIFY(std::fabs(p->duration - 1152 * 1000.0 / 44100) < 0.001);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(p->data()), 4), QByteArray(4, 0));
    delete p;
    reader.reset();
    QVERIFY(reader.encoder()->packets()->size() <= 1);
    reader.close();
    QVERIFY(!reader.readPacket());
    player.stop();
}

void TestLiveBroadcast::liveChainEndToEnd_data()
{
    QTest::addColumn<QString>("sink");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");

    QTest::newRow("44.1 kHz 16-bit stereo") << "orv_tone"
                                            << "s16le" << 44100 << 2;
    QTest::newRow("48 kHz float stereo") << "orv_float48"
                                         << "float32le" << 48000 << 2;
    QTest::newRow("48 kHz mono") << "orv_mono"
                                 << "s16le" << 48000 << 1;
}

// Guards the whole live chain as an independent receiver sees it: a tone
// played into a sink, captured from its monitor, encoded and sent, decodes
// in ffmpeg as a 1 kHz stereo tone at 44.1 kHz for as long as the broadcast
// ran, without a gap, over a gapless RTP stream.
void TestLiveBroadcast::liveChainEndToEnd()
{
    QFETCH(QString, sink);
    QFETCH(QString, format);
    QFETCH(int, rate);
    QFETCH(int, channels);
    ORVANE_REQUIRE_NETNS();
    QVERIFY2(prepareNamespace(), qPrintable(m_pair->error()));

    PulseTonePlayer player;
    QVERIFY2(player.start(sink, format, rate, channels, PulseTonePlayer::Sine), qPrintable(player.error()));
    QVERIFY(player.waitUntilFlowing(10000));

    const QString sdp = m_dir.path() + "/live.sdp", wav = m_dir.path() + "/live-" + sink + ".wav";
    {
        QFile f(sdp);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(broadcastSdp(Group, GroupPort).toUtf8());
    }
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start("ip", {"netns", "exec", nearNs(), "ffmpeg", "-hide_banner", "-loglevel", "warning",
                        "-nostdin", "-protocol_whitelist", "file,udp,rtp", "-i", sdp, "-c:a", "pcm_f32le",
                        "-f", "wav", "-y", wav});
    QVERIFY(ffmpeg.waitForStarted());
    const QString portHex = QStringLiteral(":%1 ").arg(GroupPort, 4, 16, QLatin1Char('0')).toUpper();
    QVERIFY2(MulticastCapture::waitFor(
                 [&] {
                     QProcess cat;
                     cat.start("ip", {"netns", "exec", nearNs(), "cat", "/proc/net/udp"});
                     cat.waitForFinished(5000);
                     return QString::fromLatin1(cat.readAll()).contains(portHex);
                 },
                 15000),
             "ffmpeg did not open its socket");

    NetnsScope scope(nearNs());
    MulticastCapture capture;
    QVERIFY(capture.open(Group, GroupPort));
    auto* reader = new LiveAudioReader;
    reader->setDevice({sink, sink, AudioEndpoint::Render});
    MulticastBroadcast m;
    m.setReader(reader);
    QElapsedTimer ran;
    ran.start();
    QCOMPARE(m.start(Group, GroupPort), 0);
    QTest::qWait(5000);
    m.stop();
    const double seconds = ran.elapsed() / 1000.0;
    player.stop();
    const bool ended = ffmpeg.waitForFinished(15000);
    if (!ended)
        ffmpeg.kill();
    QVERIFY2(ended, "ffmpeg did not end at the BYE");
    QVERIFY2(ffmpeg.exitCode() == 0, ffmpeg.readAll().constData());
    QVERIFY(MulticastCapture::waitFor([&] { return hasRtcpType(capture, 203); }, 3000));
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

    const Wav w = readWav(wav);
    QVERIFY(w.ok);
    QCOMPARE(w.rate, 44100);
    QCOMPARE(w.channels, 2);
    const int frames = w.samples.size() / 2;
    qInfo("broadcast ran %.3f s; %d packets; decoded %.3f s", seconds, int(rtp.size()), frames / 44100.0);
    QVERIFY2(std::abs(frames - int(rtp.size()) * 1152) <= 1152, "decoded length differs from what was sent");
    // The encoder holds back a few frames and the capture starts a little after start().
    QVERIFY2(frames / 44100.0 > seconds - 0.3 && frames / 44100.0 < seconds + 0.05,
             "broadcast length is off");

    const int from = 4410, to = frames - 2205; // past the encoder's start-up silence
    for (int c = 0; c < 2; ++c) {
        const double f = frequencyOf(w.samples, 2, c, from, to, 44100);
        QVERIFY2(std::fabs(f - 1000) < 5, qPrintable(QStringLiteral("channel %1: %2 Hz").arg(c).arg(f)));
        for (int at = from; at + 441 <= to; at += 441) {
            double energy = 0;
            for (int i = at; i < at + 441; ++i)
                energy += double(w.samples[2 * i + c]) * w.samples[2 * i + c];
            const double rms = std::sqrt(energy / 441);
            QVERIFY2(rms > 0.15, qPrintable(QStringLiteral("gap in channel %1 at %2 ms (rms %3)")
                                                .arg(c)
                                                .arg(at * 1000.0 / 44100, 0, 'f', 1)
                                                .arg(rms)));
        }
    }
}

// Guards the listing that orvane-cli prints: kind, id and name, tab-separated.
void TestLiveBroadcast::cliListsSources()
{
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    QCOMPARE(cliSources({}, out, err), 0);
    out.flush();
    const QStringList lines = outText.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QString("KIND\tID\tNAME"));
    for (const PulseTestServer::Sink& s : Sinks)
        QVERIFY2(lines.contains(QStringLiteral("1\t%1\t%1").arg(s.name)), qPrintable(outText));

    QString json;
    QTextStream jsonOut(&json);
    QCOMPARE(cliSources({"--format", "json"}, jsonOut, err), 0);
    jsonOut.flush();
    QVERIFY(json.contains("\"id\": \"orv_tone\""));
    QCOMPARE(cliSources({"--format", "xml"}, out, err), 2);
    QCOMPARE(cliSources({"--loud"}, out, err), 2);
}

void TestLiveBroadcast::cliBroadcastsASource_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("rc");
    QTest::addColumn<QString>("errText");
    QTest::newRow("endpoint") << QStringList{"--source", "orv_tone"} << 0 << QString();
    QTest::newRow("unknown endpoint")
        << QStringList{"--source", "orv_gone"} << 1 << "no audio endpoint orv_gone";
    QTest::newRow("endpoint and files")
        << QStringList{"--source", "orv_tone", "x.mp3"} << 2 << "--source broadcasts an endpoint, not files";
    QTest::newRow("empty id") << QStringList{"--source", ""} << 2 << "--source needs an endpoint id";
}

// Guards orvane-cli broadcast --source: packets on the wire for an endpoint,
// a one-line refusal otherwise.
void TestLiveBroadcast::cliBroadcastsASource()
{
    QFETCH(QStringList, extra);
    QFETCH(int, rc);
    QFETCH(QString, errText);
    ORVANE_REQUIRE_NETNS();
    QVERIFY2(prepareNamespace(), qPrintable(m_pair->error()));
    PulseTonePlayer player;
    QVERIFY(player.start("orv_tone", "s16le", 44100, 2, PulseTonePlayer::Sine));
    QVERIFY(player.waitUntilFlowing(10000));
    NetnsScope scope(nearNs());
    MulticastCapture capture;
    QVERIFY(capture.open(Group, GroupPort));
    QString outText, errOut;
    int result = -100;
    // The namespace holds for threads that this one starts.
    std::thread t([&] {
        if (!NetNamespacePair::enterOnThisThread(nearNs()))
            return;
        QTextStream out(&outText), err(&errOut);
        result = cliBroadcast(
            QStringList{"--to", QStringLiteral("%1:%2").arg(Group).arg(GroupPort), "--duration", "1.5"} +
                extra,
            out, err);
    });
    t.join();
    capture.stop();
    player.stop();
    QCOMPARE(result, rc);
    if (rc == 0) {
        QVERIFY2(outText.contains("broadcasting what plays on orv_tone (orv_tone)"), qPrintable(outText));
        QVERIFY(capture.rtpCount() >= 30);
    } else {
        QVERIFY2(errOut.contains(errText), qPrintable(errOut));
        QCOMPARE(capture.rtpCount(), 0);
    }
}

QTEST_GUILESS_MAIN(TestLiveBroadcast)
#include "tst_livebroadcast.moc"
