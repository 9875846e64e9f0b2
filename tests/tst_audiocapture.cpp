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
        if (calls++ == 0) {
            queuedAtFirstCall = device->queuedChunks();
            events << "data";
        }
        threads.insert(QThread::currentThread());
        bytesOk &= device->mixFormat() && bytes == frames * device->mixFormat()->blockAlign;
        samples.append(reinterpret_cast<const char*>(data), bytes);
    }
    int sampleBytes()
    {
        QMutexLocker lock(&m_lock);
        return samples.size();
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

QString describe(const CaptureFormat& f)
{
    return QStringLiteral("%1/%2 %3 bits %4 ch %5 Hz %6").arg(f.formatTag).arg(f.subFormat).arg(f.bitsPerSample)
        .arg(f.channels).arg(f.samplesPerSec).arg(f.blockAlign);
}

} // namespace

class TestAudioCapture : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        ORVANE_REQUIRE_PULSE(m_server, Sinks);
    }

    // Guards the listing rules: capture endpoints first, every sink as a render
    // endpoint, no monitor offered as a capture endpoint of its own (no server: tst_livebroadcast).
    void listing()
    {
        QStringList renderIds;
        for (const AudioEndpoint& d : listAudioSources()) {
            QVERIFY2(!d.id.endsWith(".monitor"), qPrintable(d.id));
            QVERIFY2(d.kind == AudioEndpoint::Render || renderIds.isEmpty(),
                     "a capture endpoint after a render one");
            if (d.kind == AudioEndpoint::Render)
                renderIds << d.id;
        }
        for (const PulseTestServer::Sink& s : Sinks)
            QVERIFY2(renderIds.contains(s.name), qPrintable(s.name));
        QCOMPARE(getDevices(RenderEndpoints, ActiveEndpointsOnly).size(), renderIds.size());
    }
    void mixFormat_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("format");
        const QString pcm = QStringLiteral("%1/%2 ").arg(CaptureFormat::TagPcm).arg(CaptureFormat::SubFormatPcm);
        const QString sFloat = QStringLiteral("%1/%2 32 bits 2 ch 48000 Hz 8")
                                   .arg(CaptureFormat::TagExtensible).arg(CaptureFormat::SubFormatIeeeFloat);
        QTest::newRow("16-bit stereo") << "orv_s16" << 1 << pcm + "16 bits 2 ch 44100 Hz 4";
        QTest::newRow("float 48 kHz") << "orv_float48" << 1 << sFloat;
        QTest::newRow("mono") << "orv_mono" << 1 << pcm + "16 bits 1 ch 44100 Hz 2";
        QTest::newRow("32-bit") << "orv_s32" << 1 << pcm + "32 bits 2 ch 32000 Hz 8";
        // The server converts a format the encoder cannot take instead of leaving the endpoint silent.
        QTest::newRow("24-bit delivered as float") << "orv_s24" << 1 << sFloat;
        QTest::newRow("a monitor opened as a capture endpoint") << "orv_float48.monitor" << 0 << sFloat;
    }
    // Guards the mix format that the capture source builds its encoder from.
    void mixFormat()
    {
        QFETCH(QString, id);
        QFETCH(int, kind);
        QFETCH(QString, format);
        Recorder r;
        AudioCapture device;
        device.setObserver(&r);
        device.setDevice(id.toUtf8().constData(), kind);
        QVERIFY(!device.mixFormat());
        QVERIFY(device.open());
        QVERIFY(r.startedWithFormat);
        QVERIFY(device.mixFormat());
        QCOMPARE(describe(*device.mixFormat()), format);
    }
    // Guards the order and completeness of captured blocks (a counter signal shows any lost, repeated or
    // swapped sample), the dispatch thread, and the two-chunk pre-fill.
    void blocksInOrderOnTheDispatchThread()
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
            QVERIFY(QTest::qWaitFor([&] { return r.sampleBytes() >= 44100 * 4 * 3 / 2; }, 10000));
            device.close();
            QCOMPARE(r.events, (QStringList{"started", "data", "stopped"}));
        }
        player.stop();

        QCOMPARE(r.threads.size(), 1);
        QVERIFY(!r.threads.contains(QThread::currentThread()));
        QVERIFY2(r.queuedAtFirstCall >= 1, "the first block was dispatched before a second one was queued");
        QVERIFY(r.bytesOk);
        QVERIFY(r.calls > 10);

        const auto* s = reinterpret_cast<const int16_t*>(r.samples.constData());
        const int frames = r.samples.size() / 4;
        int first = 0;
        while (first < frames && s[2 * first] == 0)
            ++first;
        QVERIFY2(frames - first >= 44100, "less than a second of the signal arrived");
        int checked = 0;
        bool resync = false;
        for (int i = first + 1; i < frames; ++i, ++checked) {
            // The counter never plays 0: zeros are silence the sound server put in when the player
            // fell behind under load, not samples we lost; the count resumes after them.
            const bool silent = s[2 * i] == 0 && s[2 * i + 1] == 0, after = resync;
            resync = silent;
            if (silent || after)
                continue;
            const int expected = s[2 * (i - 1)] % 30000 + 1;
            if (s[2 * i] != expected || s[2 * i + 1] != expected)
                QFAIL(qPrintable(QStringLiteral("sample %1 of %2: %3 after %4").arg(i).arg(frames).arg(s[2 * i])
                                     .arg(s[2 * (i - 1)])));
        }
        qInfo("%d samples in order over %d blocks", checked, r.calls);
    }
    // Guards that close() leaves no capture thread behind, and that a device is opened once.
    void closeJoinsBothThreads()
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

private:
    PulseTestServer m_server;
};

QTEST_GUILESS_MAIN(TestAudioCapture)
#include "tst_audiocapture.moc"
