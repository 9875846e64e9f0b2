// Pacing of an MP3 broadcast: our sender against `ffmpeg -re ... -f rtp`,
// both caught by the same receiver inside a network namespace. Prints, per
// sender, how far each packet's arrival strays from its ideal time, the drift
// at the end, and the sender's CPU time.
//
// usage: bench_rtp_pacing [SECONDS]   (default 60)

#include "MulticastCapture.h"
#include "NetNamespacePair.h"
#include "FileAudioReader.h"
#include "MulticastBroadcast.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>

using namespace orvane;

namespace {

const char Group[] = "239.255.77.1";
const int Port = 5020;
const double FrameMs = 1152.0 * 1000.0 / 44100.0;

int64_t cpuNs(int who)
{
    rusage u{};
    getrusage(who, &u);
    return (int64_t(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000000000 +
           (int64_t(u.ru_utime.tv_usec) + u.ru_stime.tv_usec) * 1000;
}

struct Figures
{
    int packets = 0;
    double median = 0, p99 = 0, max = 0, drift = 0, cpuMs = 0, seconds = 0;
};

// ideal(n): the playing time before packet n, in ms, from its RTP timestamp or its index.
Figures measure(const QVector<MulticastCapture::Datagram>& rtp, bool byTimestamp)
{
    Figures f;
    f.packets = rtp.size();
    if (rtp.size() < 2)
        return f;
    const uint32_t ts0 = MulticastCapture::parseRtp(rtp[0].bytes).timestamp;
    QVector<double> dev;
    for (int n = 0; n < rtp.size(); ++n) {
        const double ideal = byTimestamp
                                 ? double(MulticastCapture::parseRtp(rtp[n].bytes).timestamp - ts0) / 90.0
                                 : n * FrameMs;
        dev.append(double(rtp[n].arrivalNs - rtp[0].arrivalNs) / 1e6 - ideal);
    }
    f.drift = dev.last();
    f.seconds = double(rtp.last().arrivalNs - rtp[0].arrivalNs) / 1e9;
    for (double& v : dev)
        v = std::fabs(v);
    std::sort(dev.begin(), dev.end());
    f.median = dev[dev.size() / 2];
    f.p99 = dev[std::min<int>(dev.size() - 1, int(dev.size() * 0.99))];
    f.max = dev.last();
    return f;
}

void print(const char* name, const Figures& f)
{
    printf("%-22s %8d %10.2f %9.2f %9.2f %10.2f %9.1f %7.2f\n", name, f.packets, f.median, f.p99, f.max,
           f.drift, f.cpuMs, f.seconds > 0 ? 100.0 * f.cpuMs / (f.seconds * 1000.0) : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(2.0, atof(argv[1])) : 60.0;

    QTemporaryDir dir;
    const QString mp3 = dir.path() + "/bench.mp3";
    QProcess make;
    make.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                          QStringLiteral("sine=frequency=1000:sample_rate=44100:duration=%1").arg(seconds),
                          "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", mp3});
    if (!make.waitForFinished(120000) || make.exitCode() != 0) {
        fprintf(stderr, "ffmpeg could not make the test file\n");
        return 1;
    }

    NetNamespacePair pair;
    if (!pair.ok() || !pair.ip(NetNamespacePair::Near, {"link", "set", "lo", "multicast", "on"}) ||
        !pair.ip(NetNamespacePair::Near, {"route", "add", "224.0.0.0/4", "dev", "lo"})) {
        fprintf(stderr, "cannot build the test namespace: %s\n", qPrintable(pair.error()));
        return 1;
    }
    const QString ns = pair.namespaceName(NetNamespacePair::Near);
    NetnsScope scope(ns);
    if (!scope.ok()) {
        fprintf(stderr, "cannot enter the namespace\n");
        return 1;
    }

    Figures ours, theirs;
    {
        MulticastCapture capture;
        if (!capture.open(Group, Port)) {
            fprintf(stderr, "cannot open the receiver\n");
            return 1;
        }
        auto* reader = new FileAudioReader;
        reader->setFiles({mp3});
        MulticastBroadcast multicast;
        multicast.setReader(reader);
        const int64_t cpuBefore = cpuNs(RUSAGE_SELF);
        if (multicast.start(Group, Port) != 0) {
            fprintf(stderr, "cannot start the broadcast\n");
            return 1;
        }
        QThread::msleep(static_cast<unsigned long>(seconds * 1000));
        multicast.stop();
        const int64_t cpuAfter = cpuNs(RUSAGE_SELF);
        QThread::msleep(200);
        capture.stop();
        ours = measure(capture.rtp(), false);
        ours.cpuMs = double(cpuAfter - cpuBefore - capture.cpuNs()) / 1e6;
    }
    {
        MulticastCapture capture;
        if (!capture.open(Group, Port)) {
            fprintf(stderr, "cannot open the receiver\n");
            return 1;
        }
        const int64_t cpuBefore = cpuNs(RUSAGE_CHILDREN);
        QProcess ffmpeg;
        ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        ffmpeg.start("ip", {"netns", "exec", ns, "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin",
                            "-re", "-i", mp3, "-c:a", "copy", "-f", "rtp",
                            QStringLiteral("rtp://%1:%2?ttl=255").arg(Group).arg(Port)});
        if (!ffmpeg.waitForFinished(int(seconds * 1000) + 60000) || ffmpeg.exitCode() != 0) {
            fprintf(stderr, "ffmpeg failed to send\n");
            return 1;
        }
        const int64_t cpuAfter = cpuNs(RUSAGE_CHILDREN);
        QThread::msleep(200);
        capture.stop();
        theirs = measure(capture.rtp(), true);
        theirs.cpuMs = double(cpuAfter - cpuBefore) / 1e6;
    }

    printf("MP3 broadcast pacing: %.0f s of 44.1 kHz stereo at 128 kbit/s, received in a network namespace\n",
           seconds);
    printf("deviation = |arrival - (first arrival + playing time before the packet)|; drift = signed "
           "deviation of "
           "the last packet\n");
    printf("%-22s %8s %10s %9s %9s %10s %9s %7s\n", "sender", "packets", "median ms", "p99 ms", "max ms",
           "drift ms", "cpu ms", "cpu %");
    print("orvane (MulticastBroadcast)", ours);
    print("ffmpeg -re -f rtp", theirs);
    printf(
        "ideal time: orvane by frame count (one frame per packet); ffmpeg by RTP timestamp (%.1f frames per "
        "packet)\n",
        theirs.packets > 0 ? seconds * 1000.0 / FrameMs / theirs.packets : 0.0);
    return 0;
}
