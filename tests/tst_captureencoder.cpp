#include "AudioPacket.h"
#include "AudioPacketQueue.h"
#include "LiveAudioEncoder.h"

#include <QtTest>
#include <cmath>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

using namespace orvane;

namespace {

const double FrameMs = 1152.0 * 1000.0 / 44100.0;

// Interleaved samples of a sine in any packed FFmpeg sample format.
QByteArray sine(int format, int rate, int channels, int frames, qint64 first, double frequency)
{
    const int bps = av_get_bytes_per_sample(AVSampleFormat(format));
    QByteArray out(frames * channels * bps, 0);
    char* p = out.data();
    for (int i = 0; i < frames; ++i) {
        const double v = 0.5 * std::sin(2.0 * M_PI * frequency * double(first + i) / rate);
        for (int c = 0; c < channels; ++c, p += bps) {
            if (format == AV_SAMPLE_FMT_S16)
                *reinterpret_cast<int16_t*>(p) = int16_t(std::lround(v * 32767));
            else if (format == AV_SAMPLE_FMT_S32)
                *reinterpret_cast<int32_t*>(p) = int32_t(std::lround(v * 2147483647.0));
            else
                *reinterpret_cast<float*>(p) = float(v);
        }
    }
    return out;
}

struct Decoded
{
    int rate = 0, channels = 0, format = -1;
    std::vector<std::vector<float>> planes; // one per channel
};

// Decodes the payloads (behind their 4-byte header) with FFmpeg's own MP3 decoder.
Decoded decode(const QVector<QByteArray>& payloads)
{
    Decoded d;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MP3);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    if (!ctx || avcodec_open2(ctx, codec, nullptr) < 0)
        return d;      // no rate: the comparisons fail
    auto drain = [&] { // FFmpeg's MP3 decoder gives planar float
        while (avcodec_receive_frame(ctx, frame) >= 0) {
            d.rate = frame->sample_rate;
            d.channels = frame->ch_layout.nb_channels;
            d.format = frame->format;
            d.planes.resize(size_t(d.channels));
            for (int c = 0; c < d.channels; ++c) {
                const float* v = reinterpret_cast<const float*>(frame->extended_data[c]);
                d.planes[size_t(c)].insert(d.planes[size_t(c)].end(), v, v + frame->nb_samples);
            }
        }
    };
    for (const QByteArray& p : payloads) {
        av_new_packet(pkt, p.size() - 4);
        memcpy(pkt->data, p.constData() + 4, size_t(p.size() - 4));
        if (avcodec_send_packet(ctx, pkt) >= 0)
            drain();
        av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    return d;
}

// Zero crossings per second over a stretch of samples.
double frequencyOf(const std::vector<float>& s, size_t from, size_t to, int rate)
{
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i)
        crossings += (s[i - 1] < 0) != (s[i] < 0);
    return crossings / 2.0 / (double(to - from) / rate);
}

} // namespace

class TestCaptureEncoder : public QObject
{
    Q_OBJECT
private slots:
    void encodesToStereo44k_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("blockFrames");
        QTest::addColumn<QByteArray>("encoder");
        QTest::newRow("float, 10 ms blocks") << 48000 << 2 << int(AV_SAMPLE_FMT_FLT) << 480 << QByteArray();
        QTest::newRow("44.1 kHz 16-bit mono") << 44100 << 1 << int(AV_SAMPLE_FMT_S16) << 441 << QByteArray();
        QTest::newRow("32 kHz 32-bit stereo") << 32000 << 2 << int(AV_SAMPLE_FMT_S32) << 320 << QByteArray();
        // Blocks longer than a frame must not pile up in the rings and be overwritten.
        QTest::newRow("half-second blocks") << 48000 << 2 << int(AV_SAMPLE_FMT_FLT) << 24000 << QByteArray();
        QTest::newRow("odd small blocks") << 48000 << 2 << int(AV_SAMPLE_FMT_FLT) << 37 << QByteArray();
        // Another MP3 encoder of FFmpeg's, which takes no short frames.
        QTest::newRow("libshine") << 48000 << 2 << int(AV_SAMPLE_FMT_FLT) << 480 << QByteArray("libshine");
    }
    // Guards 44.1 kHz stereo MP3 frames of 1152 samples that decode to the tone that went in, gapless, whole.
    void encodesToStereo44k()
    {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, format);
        QFETCH(int, blockFrames);
        QFETCH(QByteArray, encoder);
        if (!encoder.isEmpty() && !avcodec_find_encoder_by_name(encoder.constData()))
            QSKIP(qPrintable("FFmpeg has no encoder " + encoder));

        LiveAudioEncoder e;
        QVERIFY(e.setup(rate, 0, channels, format, 44100, 0, 2, 14, encoder.isEmpty() ? nullptr : encoder.constData()));
        if (!encoder.isEmpty())
            QCOMPARE(QByteArray(e.encoderName()), encoder);

        const double seconds = 1.5;
        const int total = int(seconds * rate);
        QVector<QByteArray> payloads;
        const auto take = [&](bool flushed) {
            while (AudioPacket* p = e.packets()->pop()) {
                // The flushed frames may play shorter: the encoder leaves its padding out.
                QVERIFY2(flushed ? p->duration <= FrameMs + 0.001 : std::fabs(p->duration - FrameMs) < 0.001,
                         qPrintable(QString::number(p->duration)));
                const QByteArray payload(reinterpret_cast<const char*>(p->data()), p->size());
                QCOMPARE(payload.left(4), QByteArray(4, 0));
                QCOMPARE(uchar(payload.at(4)), uchar(0xFF)); // MPEG audio sync
                payloads.append(payload);
                delete p;
            }
        };
        for (int at = 0; at < total; at += blockFrames) {
            const int n = std::min(blockFrames, total - at);
            const QByteArray block = sine(format, rate, channels, n, at, 1000.0);
            e.feed(reinterpret_cast<const uint8_t*>(block.constData()), n, block.size());
            take(false);
            QVERIFY(e.ringCount() < e.ringCapacity());
        }
        e.flush(); // the end of input, as at a stop
        take(true);
        // After the flush all that was fed is out, with the encoder's delay and the last frame's padding on top.
        const double sentMs = payloads.size() * FrameMs;
        // libshine cannot be flushed: its last partial frame stays behind.
        const double lostMs = encoder == "libshine" ? FrameMs : 0.0;
        QVERIFY2(sentMs >= seconds * 1000 - lostMs && sentMs <= seconds * 1000 + 3 * FrameMs, "audio was lost");

        const Decoded d = decode(payloads);
        QCOMPARE(d.format, int(AV_SAMPLE_FMT_FLTP));
        QCOMPARE(d.rate, 44100);
        QCOMPARE(d.channels, 2);
        const size_t n = d.planes[0].size();
        QVERIFY(n >= size_t(payloads.size() - 1) * 1152);
        // Past the encoder's start-up delay, the tone is there in both channels in every 10 ms.
        const size_t from = 3 * 1152, to = n - 1152;
        for (int c = 0; c < 2; ++c) {
            const double f = frequencyOf(d.planes[size_t(c)], from, to, 44100);
            QVERIFY2(std::fabs(f - 1000.0) < 5.0, qPrintable(QStringLiteral("channel %1: %2 Hz").arg(c).arg(f)));
            for (size_t w = from; w + 441 <= to; w += 441) {
                double energy = 0;
                for (size_t i = w; i < w + 441; ++i)
                    energy += double(d.planes[size_t(c)][i]) * d.planes[size_t(c)][i];
                const double rms = std::sqrt(energy / 441);
                // A mono capture reaches each channel 3 dB down (FFmpeg's centre mix level).
                QVERIFY2(rms > (channels == 1 ? 0.2 : 0.3) && rms < 0.4,
                         qPrintable(QStringLiteral("channel %1 at sample %2: rms %3").arg(c).arg(w).arg(rms)));
            }
        }
    }
    void setupFailures_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("payloadType");
        QTest::addColumn<QByteArray>("encoder");
        QTest::addColumn<int>("rate");
        QTest::newRow("no sample format (24 bits)") << int(AV_SAMPLE_FMT_NONE) << 14 << QByteArray() << 48000;
        QTest::newRow("payload type without an encoder") << int(AV_SAMPLE_FMT_FLT) << 96 << QByteArray() << 48000;
        QTest::newRow("unknown encoder") << int(AV_SAMPLE_FMT_FLT) << 14 << QByteArray("nonexistent") << 48000;
        QTest::newRow("encoder of another codec") << int(AV_SAMPLE_FMT_FLT) << 14 << QByteArray("aac") << 48000;
        QTest::newRow("no rate") << int(AV_SAMPLE_FMT_FLT) << 14 << QByteArray() << 0;
    }
    // Guards that an encoder that cannot work says so instead of dropping every block.
    void setupFailures()
    {
        QFETCH(int, format);
        QFETCH(int, payloadType);
        QFETCH(QByteArray, encoder);
        QFETCH(int, rate);
        LiveAudioEncoder e;
        QVERIFY(!e.setup(rate, 0, 2, format, 44100, 0, 2, payloadType,
                         encoder.isEmpty() ? nullptr : encoder.constData()));
        QVERIFY(!e.isReady());
        QCOMPARE(e.payloadType(), -1);
        QVERIFY(!e.packets());
        const QByteArray block(4800, 0);
        e.feed(reinterpret_cast<const uint8_t*>(block.constData()), 600, block.size()); // harmless
    }
    // Guards against reading past a block too short for its frame count; a reset leaves no old audio to send.
    void shortBlocksAndReset()
    {
        LiveAudioEncoder e;
        QVERIFY(e.setup(44100, 0, 2, AV_SAMPLE_FMT_S16, 44100, 0, 2, 14));
        const QByteArray block = sine(AV_SAMPLE_FMT_S16, 44100, 2, 44100, 0, 1000);
        e.feed(reinterpret_cast<const uint8_t*>(block.constData()), 44100, block.size() - 4);
        QCOMPARE(e.ringCount(), 0);
        e.feed(reinterpret_cast<const uint8_t*>(block.constData()), 44100, block.size());
        QVERIFY(e.packets()->size() > 0);
        QVERIFY(e.ringCount() > 0); // 44100 is no whole number of frames
        e.reset();
        QCOMPARE(e.packets()->size(), 0);
        QCOMPARE(e.ringCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCaptureEncoder)
#include "tst_captureencoder.moc"
