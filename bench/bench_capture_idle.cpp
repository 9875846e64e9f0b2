// Processor time that an open capture engine costs while nothing arrives.
#include "BenchSupport.h"
#include "CaptureEngine.h"

#include <QCoreApplication>
#include <QThread>
#include <sys/resource.h>

using namespace orvane;

namespace {
double cpuSeconds()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? atoi(argv[1]) : 10;
    std::unique_ptr<NetNamespacePair> wire;
    Adapter adapter;
    if (const int status = benchWire("bench_capture_idle", wire, &adapter))
        return status;
    NetNamespacePair& pair = *wire;

    CaptureEngine pcap;
    {
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
        pcap.start(&adapter);
    }
    for (int i = 0; i < 500 && !pcap.isOpen(); ++i)
        QThread::msleep(10);
    if (!pcap.isOpen()) {
        fprintf(stderr, "the adapter did not open\n");
        return 1;
    }
    QThread::msleep(200);
    const double before = cpuSeconds();
    QThread::sleep(static_cast<unsigned long>(seconds));
    const double used = cpuSeconds() - before;
    pcap.stop();
    printf("idle capture engine: %.1f ms of processor time in %d s = %.3f %% of one core\n", used * 1000.0, seconds,
           100.0 * used / seconds);
    return 0;
}
