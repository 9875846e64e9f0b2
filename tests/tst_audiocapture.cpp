#include "AudioCapture.h"
#include "AudioCaptureObserver.h"
#include "AudioEndpoints.h"
#include "NetNamespacePair.h"
#include "PulseTestServer.h"

#include <QMutex>
#include <QThread>
#include <QtTest>
#include <cstring>
#include <memory>

using namespace orvane;

namespace {

const QVector<PulseTestServer::Sink> Sinks = {
    {"orv_s16", "s16le", 44100, 2}, {"orv_float48", "float32le", 48000, 2}, {"orv_mono", "s16le", 44100, 1},
    {"orv_s24", "s24le", 48000, 2}, {"orv_s32", "s32le", 32000, 2},
};

// Records what the device tells, and from which thread.
class Recorder : public AudioCaptureObserver
{
public:
    void onDeviceStarted(AudioCapture* device) override
    {
        QMutexLocker lock(&m_lock);
        events << "started";
        startedWithFormat = device->mixFormat() != nullptr;
    }
    void onDeviceStopped(AudioCapture*) override
    {
        QMutexLocker lock(&m_lock);
        events << "stopped";
    }
    void onDeviceData(AudioCapture* device, const unsigned char* data, int frames, int bytes) override
    {
        QMutexLocker lock(&m_lock);
        if (calls == 0) {
            queuedAtFirstCall = device->queuedChunks();
            events << "data";
        }
        ++calls;
        threads.insert(QThread::currentThread());
        bytesOk &= device->mixFormat() && bytes == frames * device->mixFormat()->blockAlign;
        samples.append(reinterpret_cast<const char*>(data), bytes);
    }
    QByteArray takeSamples()
    {
        QMutexLocker lock(&m_lock);
        return samples;
    }
    int callCount()
    {
        QMutexLocker lock(&m_lock);
        return calls;
    }

    QStringList events;
    bool startedWithFormat = false;
    int queuedAtFirstCall = -1;
    int calls = 0;
    bool bytesOk = true;
    QSet<QThread*> threads;
    QByteArray samples;

private:
    QMutex m_lock;
};

} // namespace

class TestAudioCapture : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void listing();
    void listingWithoutServer();
    void mixFormat_data();
    void mixFormat();
    void unknownEndpoint_data();
    void unknownEndpoint();
    void blocksInOrderOnTheDispatchThread();
    void closeJoinsBothThreads();

private:
    PulseTestServer m_server;
};

void TestAudioCapture::initTestCase()
{
    ORVANE_REQUIRE_PULSE(m_server, Sinks);
}

// Guards the listing rules: capture endpoints first, every sink as a render
// endpoint, and no monitor offered as a capture endpoint of its own.
void TestAudioCapture::listing()
{
    const QList<AudioEndpoint> all = listAudioSources();
    QStringList renderIds;
    bool renderSeen = false;
    for (const AudioEndpoint& d : all) {
        QVERIFY2(!d.id.endsWith(".monitor"), qPrintable(d.id));
        if (d.kind == AudioEndpoint::Render) {
            renderSeen = true;
            renderIds << d.id;
        } else {
            QCOMPARE(d.kind, int(AudioEndpoint::Capture));
            QVERIFY2(!renderSeen, "a capture endpoint after a render endpoint");
        }
    }
    for (const PulseTestServer::Sink& s : Sinks)
        QVERIFY2(renderIds.contains(s.name), qPrintable(s.name));
    for (const AudioEndpoint& d : all)
        if (d.id == "orv_s16")
            QCOMPARE(d.name, QString("orv_s16"));
    QCOMPARE(getDevices(RenderEndpoints, ActiveEndpointsOnly).size(), renderIds.size());
}

// Guards against a hang or a spawned server when no sound server answers.
void TestAudioCapture::listingWithoutServer()
{
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/orvane/native");
    QElapsedTimer t;
    t.start();
    const QList<AudioEndpoint> none = listAudioSources();
    QString reason;
    const bool reachable = soundServerReachable(&reason);
    AudioCapture device;
    device.setDevice("orv_s16", 1);
    const bool opened = device.open();
    qputenv("PULSE_SERVER", saved);
    QVERIFY(none.isEmpty());
    QVERIFY(!reachable && !reason.isEmpty());
    QVERIFY(!opened);
    QVERIFY(t.elapsed() < 10000);
}

void TestAudioCapture::mixFormat_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("subFormat");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");

    const int pcm = CaptureFormat::TagPcm, ext = CaptureFormat::TagExtensible;
    const int sPcm = CaptureFormat::SubFormatPcm, sFloat = CaptureFormat::SubFormatIeeeFloat;
    QTest::newRow("16-bit stereo sink") << "orv_s16" << 1 << pcm << sPcm << 16 << 2 << 44100;
    QTest::newRow("float 48 kHz sink") << "orv_float48" << 1 << ext << sFloat << 32 << 2 << 48000;
    QTest::newRow("mono sink") << "orv_mono" << 1 << pcm << sPcm << 16 << 1 << 44100;
    QTest::newRow("32-bit sink") << "orv_s32" << 1 << pcm << sPcm << 32 << 2 << 32000;
    // The server converts a format the encoder cannot take instead of leaving the endpoint silent.
    QTest::newRow("24-bit sink delivered as float") << "orv_s24" << 1 << ext << sFloat << 32 << 2 << 48000;
    QTest::newRow("a monitor opened as a capture endpoint")
        << "orv_float48.monitor" << 0 << ext << sFloat << 32 << 2 << 48000;
}

// Guards the mix format that the capture source builds its encoder from.
void TestAudioCapture::mixFormat()
{
    QFETCH(QString, id);
    QFETCH(int, kind);
    QFETCH(int, tag);
    QFETCH(int, subFormat);
    QFETCH(int, bits);
    QFETCH(int, channels);
    QFETCH(int, rate);

    Recorder r;
    AudioCapture device;
    device.setObserver(&r);
    device.setDevice(id.toUtf8().constData(), kind);
    QVERIFY(!device.mixFormat());
    QVERIFY(device.open());
    QVERIFY(r.startedWithFormat);
    const CaptureFormat* f = device.mixFormat();
    QVERIFY(f);
    QCOMPARE(f->formatTag, tag);
    QCOMPARE(f->subFormat, subFormat);
    QCOMPARE(f->bitsPerSample, bits);
    QCOMPARE(f->channels, channels);
    QCOMPARE(f->samplesPerSec, rate);
    QCOMPARE(f->blockAlign, bits / 8 * channels);
}

void TestAudioCapture::unknownEndpoint_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("kind");
    QTest::newRow("unknown sink") << "orv_nothing" << 1;
    QTest::newRow("unknown source") << "orv_nothing" << 0;
    // A source name is no render endpoint: kind 1 looks for a sink of that name.
    QTest::newRow("monitor given as a render endpoint") << "orv_s16.monitor" << 1;
    QTest::newRow("empty id") << "" << 0;
}

// Guards that a missing endpoint fails open() cleanly: no observer call, no thread.
void TestAudioCapture::unknownEndpoint()
{
    QFETCH(QString, id);
    QFETCH(int, kind);
    const int threadsBefore = settledThreadCount();
    Recorder r;
    AudioCapture device;
    device.setObserver(&r);
    device.setDevice(id.toUtf8().constData(), kind);
    QVERIFY(!device.open());
    QVERIFY(!device.mixFormat());
    QVERIFY(r.events.isEmpty());
    // At most as many as before: a thread of an earlier case may still be on its way out.
    QTRY_VERIFY_WITH_TIMEOUT(processThreadCount() <= threadsBefore, 2000);
    device.close();
    QVERIFY(r.events.isEmpty());
}

// Guards the order and completeness of captured blocks (a counter signal
// shows any lost, repeated or swapped sample), the dispatch thread, and the
// two-chunk pre-fill.
void TestAudioCapture::blocksInOrderOnTheDispatchThread()
{
    PulseTonePlayer player;
    QVERIFY2(player.start("orv_s16", "s16le", 44100, 2, PulseTonePlayer::Counter),
             qPrintable(player.error()));
    QVERIFY(player.waitUntilFlowing(10000));
    Recorder r;
    {
        AudioCapture device;
        device.setObserver(&r);
        device.setDevice("orv_s16", AudioEndpoint::Render);
        QVERIFY(device.open());
        QVERIFY(QTest::qWaitFor([&] { return r.takeSamples().size() >= 44100 * 4 * 3 / 2; }, 10000));
        device.close();
        QCOMPARE(r.events, (QStringList{"started", "data", "stopped"}));
    }
    player.stop();

    QCOMPARE(r.threads.size(), 1);
    QVERIFY(!r.threads.contains(QThread::currentThread()));
    QVERIFY2(r.queuedAtFirstCall >= 1, "the first block was dispatched before a second one was queued");
    QVERIFY(r.bytesOk);
    QVERIFY(r.calls > 10);

    const QByteArray bytes = r.samples;
    const auto* s = reinterpret_cast<const int16_t*>(bytes.constData());
    const int frames = bytes.size() / 4;
    int first = 0;
    while (first < frames && s[2 * first] == 0)
        ++first;
    QVERIFY2(frames - first >= 44100, "less than a second of the signal arrived");
    int checked = 0;
    bool resync = false;
    for (int i = first + 1; i < frames; ++i, ++checked) {
        // The counter never plays 0: zeros are silence the sound server put in
        // when the player fell behind under load, not samples we lost. The
        // count resumes after them where the player left off.
        if (s[2 * i] == 0 && s[2 * i + 1] == 0) {
            resync = true;
            continue;
        }
        if (resync) {
            resync = false;
            continue;
        }
        const int expected = s[2 * (i - 1)] % 30000 + 1;
        if (s[2 * i] != expected || s[2 * i + 1] != expected)
            QFAIL(qPrintable(QStringLiteral("sample %1 of %2: %3 after %4")
                                 .arg(i)
                                 .arg(frames)
                                 .arg(s[2 * i])
                                 .arg(s[2 * (i - 1)])));
    }
    qInfo("%d samples in order over %d blocks", checked, r.calls);
}

// Guards that close() leaves no capture thread behind, and that a device is opened once.
void TestAudioCapture::closeJoinsBothThreads()
{
    const int before = settledThreadCount();
    Recorder r;
    auto device = std::make_unique<AudioCapture>();
    device->setObserver(&r);
    device->setDevice("orv_float48", AudioEndpoint::Render);
    QVERIFY(device->open());
    QCOMPARE(processThreadCount(), before + 2);
    QVERIFY(QTest::qWaitFor([&] { return r.callCount() > 0; }, 5000));
    device->close();
    QTRY_VERIFY_WITH_TIMEOUT(processThreadCount() <= before, 2000);
    QVERIFY(!device->open());
    const int calls = r.callCount();
    QTest::qWait(50);
    QCOMPARE(r.callCount(), calls);
    device.reset(); // closing again is harmless
    QCOMPARE(r.events.count("stopped"), 1);
}

QTEST_GUILESS_MAIN(TestAudioCapture)
#include "tst_audiocapture.moc"
