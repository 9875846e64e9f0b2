// A live broadcast from a sound card, measured end to end: clicks played
// into a private sound server's null sink are captured from its monitor,
// encoded and sent as RTP inside a network namespace. Prints the latency
// from each click being played by the sink to the RTP packet that carries it
// leaving (median and maximum), and the CPU time that capture plus encoding
// take per second of audio. Run as root.
//
// usage: bench_live_capture [SECONDS]   (default 30)

#include "MulticastCapture.h"
#include "NetNamespacePair.h"
#include "PulseTestServer.h"
#include "MulticastBroadcast.h"
#include "LiveAudioReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <pulse/simple.h>
#include <thread>
#include <time.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace orvane;

namespace {

const char Group[] = "239.255.77.9";
const int Port = 5040;
const char Sink[] = "orv_bench";
const int Rate = 48000; // a desktop's usual mix rate: the chain resamples
const int Channels = 2;
const int ClickEveryMs = 500;
const int ClickSamples = 96; // 2 ms

int64_t realtimeNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Plays silence with a click every ClickEveryMs into the sink and notes when
// each click is written and when the sink plays it.
class ClickPlayer
{
public:
    bool start()
    {
        pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32LE, Rate, Channels};
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.tlength = uint32_t(pa_usec_to_bytes(20000, &sampleSpec));
        attr.prebuf = attr.minreq = attr.fragsize = uint32_t(-1);
        int err = 0;
        m_pa = pa_simple_new(nullptr, "orvane-bench", PA_STREAM_PLAYBACK, Sink, "clicks", &sampleSpec, nullptr,
                             &attr, &err);
        if (!m_pa)
            return false;
        m_running = true;
        m_thread = std::thread([this] { loop(); });
        return true;
    }
    void stop()
    {
        m_running = false;
        if (m_thread.joinable())
            m_thread.join();
        if (m_pa)
            pa_simple_free(m_pa);
        m_pa = nullptr;
    }
    void armClicks() { m_armed = true; }
    // (written, played) in CLOCK_REALTIME ns.
    std::vector<std::pair<int64_t, int64_t>> clicks()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_clicks;
    }
    int64_t framesWritten() const { return m_frames.load(); }

private:
    void loop()
    {
        const int block = Rate / 100;
        std::vector<float> data(size_t(block * Channels));
        int64_t n = 0, nextClick = -1;
        int err = 0;
        while (m_running) {
            std::fill(data.begin(), data.end(), 0.0f);
            int clickAt = -1;
            if (m_armed && nextClick < 0)
                nextClick = n + Rate / 10;
            if (nextClick >= n && nextClick < n + block) {
                clickAt = int(nextClick - n);
                for (int i = clickAt; i < std::min(block, clickAt + ClickSamples); ++i)
                    for (int c = 0; c < Channels; ++c)
                        data[size_t(i * Channels + c)] = 0.8f;
                nextClick += int64_t(Rate) * ClickEveryMs / 1000;
            }
            if (pa_simple_write(m_pa, data.data(), data.size() * sizeof(float), &err) < 0)
                break;
            const int64_t written = realtimeNs();
            n += block;
            m_frames = n;
            if (clickAt >= 0) {
                // The latency is how long until the last sample written is heard.
                const pa_usec_t latency = pa_simple_get_latency(m_pa, &err);
                const int64_t played =
                    written + int64_t(latency) * 1000 - int64_t(block - clickAt) * 1000000000 / Rate;
                std::lock_guard<std::mutex> lock(m_lock);
                m_clicks.emplace_back(written - int64_t(block - clickAt) * 1000000000 / Rate, played);
            }
        }
    }

    pa_simple* m_pa = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_running{false}, m_armed{false};
    std::atomic<int64_t> m_frames{0};
    std::mutex m_lock;
    std::vector<std::pair<int64_t, int64_t>> m_clicks;
};

// CPU time in ns of this process's threads whose name starts with prefix.
int64_t threadCpuNs(const char* prefix)
{
    int64_t total = 0;
    for (const QString& tid : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + tid + "/comm");
        if (!comm.open(QIODevice::ReadOnly) || !comm.readAll().startsWith(prefix))
            continue;
        QFile stat("/proc/self/task/" + tid + "/schedstat");
        if (stat.open(QIODevice::ReadOnly))
            total += QString::fromLatin1(stat.readAll()).split(' ').value(0).toLongLong();
    }
    return total;
}

// For each RTP packet, whether its decoded audio holds a click.
std::vector<bool> clickPackets(const QVector<MulticastCapture::Datagram>& rtp)
{
    std::vector<bool> out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MP3);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    avcodec_open2(ctx, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    for (const auto& d : rtp) {
        const auto h = MulticastCapture::parseRtp(d.bytes);
        const int skip = h.headerLength + 4;
        bool click = false;
        if (h.valid && d.bytes.size() > skip) {
            av_new_packet(pkt, d.bytes.size() - skip);
            memcpy(pkt->data, d.bytes.constData() + skip, size_t(pkt->size));
            if (avcodec_send_packet(ctx, pkt) >= 0) {
                while (avcodec_receive_frame(ctx, frame) >= 0) {
                    const auto* l = reinterpret_cast<const float*>(frame->extended_data[0]);
                    for (int i = 0; i < frame->nb_samples; ++i)
                        click |= std::fabs(l[i]) > 0.3f;
                }
            }
            av_packet_unref(pkt);
        }
        out.push_back(click);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    return out;
}

void summarize(const char* what, std::vector<double> v)
{
    if (v.empty()) {
        printf("%s: no clicks matched\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    printf("%s: median %.1f ms, max %.1f ms, min %.1f ms over %zu clicks\n", what, v[v.size() / 2], v.back(),
           v.front(), v.size());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, atoi(argv[1])) : 30;
    QString reason;
    if (!NetNamespacePair::canRun(&reason) || !PulseTestServer::available(&reason)) {
        fprintf(stderr, "cannot run: %s\n", qPrintable(reason));
        return 1;
    }
    PulseTestServer server;
    if (!server.start({{Sink, "float32le", Rate, Channels}})) {
        fprintf(stderr, "no sound server: %s\n", qPrintable(server.error()));
        return 1;
    }
    NetNamespacePair pair;
    if (!pair.ok() || !pair.ip(NetNamespacePair::Near, {"link", "set", "lo", "multicast", "on"}) ||
        !pair.ip(NetNamespacePair::Near, {"route", "add", "224.0.0.0/4", "dev", "lo"})) {
        fprintf(stderr, "cannot build the namespace: %s\n", qPrintable(pair.error()));
        return 1;
    }
    NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
    ClickPlayer player;
    if (!player.start()) {
        fprintf(stderr, "cannot play into the sink\n");
        return 1;
    }
    // An idle null sink renders two seconds ahead; wait until it takes samples in real time.
    while (player.framesWritten() < Rate)
        QThread::msleep(10);

    MulticastCapture capture;
    if (!capture.open(Group, Port)) {
        fprintf(stderr, "cannot listen on the group\n");
        return 1;
    }
    auto* reader = new LiveAudioReader;
    reader->setDevice({Sink, Sink, AudioEndpoint::Render});
    MulticastBroadcast multicast;
    multicast.setReader(reader);
    if (multicast.start(Group, Port) < 0) {
        fprintf(stderr, "the broadcast did not start\n");
        return 1;
    }
    printf("live broadcast of %s (float 48 kHz stereo) for %d s, a click every %d ms\n", Sink, seconds,
           ClickEveryMs);
    QThread::msleep(1000);
    player.armClicks();
    const int64_t cpu0 = threadCpuNs("orv-capture");
    const int64_t wall0 = realtimeNs();
    QThread::msleep(static_cast<unsigned long>(seconds) * 1000);
    const int64_t cpu1 = threadCpuNs("orv-capture");
    const int64_t wall1 = realtimeNs();
    multicast.stop();
    player.stop();
    QThread::msleep(100);
    capture.stop();

    const auto rtp = capture.rtp();
    const std::vector<bool> hasClick = clickPackets(rtp);
    const auto clicks = player.clicks();
    std::vector<double> fromPlayed, fromWritten;
    size_t next = 0;
    for (size_t k = 0; k < hasClick.size(); ++k) {
        if (!hasClick[k] || (k > 0 && hasClick[k - 1]))
            continue; // the first packet of each click only
        const int64_t arrival = rtp[int(k)].arrivalNs;
        // The latest click played before this packet left.
        while (next + 1 < clicks.size() && clicks[next + 1].second < arrival)
            ++next;
        if (next >= clicks.size() || clicks[next].second > arrival)
            continue;
        const double ms = double(arrival - clicks[next].second) / 1e6;
        if (ms > ClickEveryMs)
            continue;
        fromPlayed.push_back(ms);
        fromWritten.push_back(double(arrival - clicks[next].first) / 1e6);
    }
    printf("%d RTP packets, %zu clicks played\n", int(rtp.size()), clicks.size());
    summarize("latency, click played by the sink -> its RTP packet leaving", fromPlayed);
    summarize("latency, click written by the player -> its RTP packet leaving", fromWritten);
    const double audioSeconds = double(wall1 - wall0) / 1e9;
    const double cpuMs = double(cpu1 - cpu0) / 1e6;
    printf("CPU of capture + encoding (read and dispatch threads): %.1f ms per second of audio = %.2f %% of "
           "a core\n",
           cpuMs / audioSeconds, cpuMs / audioSeconds / 10.0);
    server.stop();
    return 0;
}
