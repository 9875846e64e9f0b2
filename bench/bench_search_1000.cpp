// One search answered by 1000 emulated devices over a veth pair: how many
// answers arrive, how long the last one takes, and the peak memory of the process.
#include "BenchSupport.h"
#include "CommandObserver.h"
#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "ProtocolClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QSet>
#include <QThread>
#include <atomic>

using namespace orvane;

namespace {

// Counts received command frames and notes when the last one came.
class Arrivals : public CommandObserver
{
public:
    void onSendCommand(ProtocolClient*, const char*) override { m_sentAt.store(clock.nsecsElapsed()); }
    void onRecvCommand(ProtocolClient*, const char*) override
    {
        m_count.fetch_add(1);
        m_lastAt.store(clock.nsecsElapsed());
    }
    void reset()
    {
        m_count.store(0);
        m_lastAt.store(0);
    }
    int count() const { return m_count.load(); }
    double lastAfterSendMs() const { return double(m_lastAt.load() - m_sentAt.load()) / 1e6; }

    QElapsedTimer clock;

private:
    std::atomic<int> m_count{0};
    std::atomic<qint64> m_sentAt{0};
    std::atomic<qint64> m_lastAt{0};
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const int devices = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    const long startKb = statusKb("VmHWM:");
    std::unique_ptr<NetNamespacePair> wire;
    Adapter adapter;
    if (const int status = benchWire("bench_search_1000", wire, &adapter))
        return status;
    NetNamespacePair& pair = *wire;
    EmulatedSegment segment;
    if (!benchSegment("bench_search_1000", segment, pair, "[]", devices))
        return 1;

    int status = 0;
    {
        Arrivals arrivals;
        arrivals.clock.start();
        ProtocolClient client;
        client.setObserver(&arrivals);
        {
            NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
            client.open(&adapter);
        }
        // Until the capture handle is open, the answers are lost.
        QElapsedTimer warm;
        warm.start();
        while (arrivals.count() == 0 && warm.elapsed() < 20000) {
            QList<DeviceRecord*> found;
            client.search(found, 300, false);
            for (DeviceRecord* device : qAsConst(found))
                device->release();
        }
        QThread::msleep(300);
        const long openKb = statusKb("VmHWM:");

        printf("search answered by %d emulated devices over veth, %d rounds of %d ms\n", devices, rounds,
               DeviceSearch::TimeoutMs);
        for (int round = 1; round <= rounds; ++round) {
            arrivals.reset();
            QList<DeviceRecord*> found;
            client.search(found, DeviceSearch::TimeoutMs, false);
            QSet<QString> macs;
            for (const DeviceRecord* device : qAsConst(found))
                macs.insert(device->mac());
            const int framesSeen = arrivals.count();
            const double lastMs = arrivals.lastAfterSendMs();
            const int records = found.size();
            const QList<DeviceRef> kept = DeviceSearch::accept(found);
            printf("  round %d: %d frames received, %d records, %d distinct MACs, %d accepted; last answer "
                   "%.1f ms after the search went out\n",
                   round, framesSeen, records, int(macs.size()), int(kept.size()), lastMs);
            if (records != devices)
                status = 1;
        }
        printf("peak resident memory (VmHWM): %ld kB at start, %ld kB with the protocol client open, %ld kB "
               "after the "
               "searches; now VmRSS %ld kB\n",
               startKb, openKb, statusKb("VmHWM:"), statusKb("VmRSS:"));
    }
    return status;
}
