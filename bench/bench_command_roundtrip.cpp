// One device command through ProtocolClient to an emulated device and back, over a
// veth pair: latency figures, and the processor time a command costs while it
// waits for an answer that never comes.
#include "BenchSupport.h"
#include "DeviceRecord.h"
#include "ProtocolClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QThread>
#include <algorithm>
#include <sys/resource.h>
#include <vector>

using namespace orvane;

namespace {

// Device 1 never answers; device 2 is a plain one.
const char DeviceConfig[] = R"([{"misbehave": {"silent": true}}])";

double seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double cpuSeconds(int who)
{
    rusage usage;
    getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The protocol client writes a debug line for every frame.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    std::unique_ptr<NetNamespacePair> wire;
    Adapter adapter;
    if (const int status = benchWire("bench_command_roundtrip", wire, &adapter))
        return status;
    NetNamespacePair& pair = *wire;
    EmulatedSegment segment;
    if (!benchSegment("bench_command_roundtrip", segment, pair, DeviceConfig, 1))
        return 1;

    int status = 0;
    {
        ProtocolClient client;
        {
            NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
            client.open(&adapter);
        }
        DeviceRecord* plain = EmulatedSegment::deviceRecord(2);
        DeviceRecord* silent = EmulatedSegment::deviceRecord(1);

        // Until the capture handle is open, commands go out but answers are lost.
        QElapsedTimer warm;
        warm.start();
        while (client.playVolume(plain) != 0 && warm.elapsed() < 20000) {
        }
        for (int i = 0; i < 50; ++i)
            client.setDeviceVolume(plain, 5, 5, 0);

        std::vector<double> micros;
        micros.reserve(size_t(rounds));
        int failed = 0;
        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        QElapsedTimer all;
        all.start();
        for (int i = 0; i < rounds; ++i) {
            QElapsedTimer timer;
            timer.start();
            const int result = client.setDeviceVolume(plain, i % 10, 9 - i % 10, i & 1);
            const double us = double(timer.nsecsElapsed()) / 1000.0;
            if (result != 0)
                ++failed;
            else
                micros.push_back(us);
        }
        const double busyWall = double(all.nsecsElapsed()) / 1e9;
        const double busyCpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;

        // One command that waits out the full reply timeout.
        QThread::msleep(200);
        const double threadBefore = cpuSeconds(RUSAGE_THREAD);
        const double processBefore = cpuSeconds(RUSAGE_SELF);
        QElapsedTimer wait;
        wait.start();
        const int silentResult = client.playVolume(silent);
        const double waitWall = double(wait.nsecsElapsed()) / 1e9;
        const double threadCpu = cpuSeconds(RUSAGE_THREAD) - threadBefore;
        const double processCpu = cpuSeconds(RUSAGE_SELF) - processBefore;

        plain->release();
        silent->release();

        if (micros.empty()) {
            fprintf(stderr, "no command was answered\n");
            status = 1;
        } else {
            std::sort(micros.begin(), micros.end());
            const double median = micros[micros.size() / 2];
            const double p99 = micros[std::min(micros.size() - 1, size_t(double(micros.size()) * 0.99))];
            printf("protocol client command round trip (SetDeviceVolume) to an emulated device over veth\n");
            printf("  %zu answered, %d failed\n", micros.size(), failed);
            printf("  median %.3f ms, 99th percentile %.3f ms, min %.3f ms, max %.3f ms\n", median / 1000.0,
                   p99 / 1000.0, micros.front() / 1000.0, micros.back() / 1000.0);
            printf("  process CPU during the run: %.1f %% of one core (%.3f s in %.3f s)\n",
                   100.0 * busyCpu / busyWall, busyCpu, busyWall);
        }
        printf("Waiting for a silent device: result %d after %.0f ms\n", silentResult, waitWall * 1000.0);
        printf("  waiting thread: %.2f ms CPU = %.3f %% of one core\n", threadCpu * 1000.0,
               100.0 * threadCpu / waitWall);
        printf("  whole process:  %.2f ms CPU = %.3f %% of one core\n", processCpu * 1000.0,
               100.0 * processCpu / waitWall);
    }
    return status;
}
