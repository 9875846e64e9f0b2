// One device command through ProtocolClient to an emulated device and back, over a
// veth pair: latency figures, and the processor time a command costs while it
// waits for an answer that never comes.
#include "BenchSupport.h"
#include "DeviceRecord.h"
#include "ProtocolClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <sys/resource.h>
#include <vector>

namespace {

// Device 1 never answers; device 2 is a plain one.
const char DeviceConfig[] = R"([{"misbehave": {"silent": true}}])";
const uint8_t SilentMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const uint8_t SilentIp[4] = {198, 18, 1, 1};
const uint8_t PlainMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02};
const uint8_t PlainIp[4] = {198, 18, 1, 2};

QString emulatorPath()
{
#ifdef ORVANE_EMULATOR_PATH
    if (QFile::exists(QStringLiteral(ORVANE_EMULATOR_PATH)))
        return QStringLiteral(ORVANE_EMULATOR_PATH);
#endif
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("orvane-emulator"));
}

bool startEmulator(QProcess& process, const NetNamespacePair& pair, const QTemporaryDir& dir, int generated)
{
    QFile config(dir.filePath(QStringLiteral("devices.json")));
    if (!config.open(QIODevice::WriteOnly) || config.write(DeviceConfig) < 0)
        return false;
    config.close();
    const QString ready = dir.filePath(QStringLiteral("ready"));
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("ip"),
                  {QStringLiteral("netns"), QStringLiteral("exec"), pair.namespaceName(NetNamespacePair::Far),
                   emulatorPath(), QStringLiteral("--interface"), pair.interfaceName(NetNamespacePair::Far),
                   QStringLiteral("--config"), config.fileName(), QStringLiteral("--devices"),
                   QString::number(generated), QStringLiteral("--log"), dir.filePath(QStringLiteral("log")),
                   QStringLiteral("--ready-file"), ready});
    if (!process.waitForStarted())
        return false;
    for (int i = 0; i < 1500 && !QFile::exists(ready) && process.state() == QProcess::Running; ++i)
        QThread::msleep(10);
    return QFile::exists(ready);
}

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

DeviceRecord* record(const uint8_t mac[6], const uint8_t ip[4])
{
    DeviceRecord* device = DeviceRecord::create();
    device->setMacBytes(mac);
    device->setIpBytes(ip);
    return device;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The protocol client writes a debug line for every frame.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    QString reason;
    if (!NetNamespacePair::canRun(&reason)) {
        fprintf(stderr, "bench_sdk_roundtrip: %s\n", qPrintable(reason));
        return 2;
    }
    NetNamespacePair pair;
    Adapter adapter;
    if (!benchNearAdapter(pair, adapter))
        return 1;
    QTemporaryDir dir;
    QProcess emulator;
    if (!dir.isValid() || !startEmulator(emulator, pair, dir, 1)) {
        fprintf(stderr, "the emulator did not come up (%s)\n", qPrintable(emulatorPath()));
        return 1;
    }

    int status = 0;
    {
        ProtocolClient sdk;
        {
            NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
            sdk.open(&adapter);
        }
        DeviceRecord* plain = record(PlainMac, PlainIp);
        DeviceRecord* silent = record(SilentMac, SilentIp);

        // Until the capture handle is open, commands go out but answers are lost.
        QElapsedTimer warm;
        warm.start();
        while (sdk.playVolume(plain) != 0 && warm.elapsed() < 20000) {
        }
        for (int i = 0; i < 50; ++i)
            sdk.setDeviceVolume(plain, 5, 5, 0);

        std::vector<double> micros;
        micros.reserve(size_t(rounds));
        int failed = 0;
        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        QElapsedTimer all;
        all.start();
        for (int i = 0; i < rounds; ++i) {
            QElapsedTimer timer;
            timer.start();
            const int result = sdk.setDeviceVolume(plain, i % 10, 9 - i % 10, i & 1);
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
        const int silentResult = sdk.playVolume(silent);
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
    emulator.terminate();
    if (!emulator.waitForFinished(10000))
        emulator.kill();
    return status;
}
