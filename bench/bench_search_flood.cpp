// A search while a host on the segment floods search answers as fast as one
// raw socket sends them, from a new MAC each (or from one MAC with "same"):
// the search's wall time, what it kept and counted, and the peak memory.
#include "BenchSupport.h"
#include "CommandFrame.h"
#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "ProtocolClient.h"
#include "RawFrame.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <atomic>
#include <thread>

using namespace orvane;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const bool sameMac = argc > 1 && strcmp(argv[1], "same") == 0;
    const int timeoutMs = argc > 2 ? std::max(100, atoi(argv[2])) : DeviceSearch::TimeoutMs;
    std::unique_ptr<NetNamespacePair> wire;
    Adapter adapter;
    if (const int status = benchWire("bench_search_flood", wire, &adapter))
        return status;
    NetNamespacePair& pair = *wire;

    ProtocolClient client;
    {
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
        client.open(&adapter);
    }
    if (!client.waitUntilCaptureOpen(5000)) {
        fprintf(stderr, "the capture did not open\n");
        return 1;
    }
    const long startKb = statusKb("VmHWM:");

    // The first search after open carries id 0.
    const QByteArray text = "{\"id\":0,\"method\":\"search\",\"type\":\"KM41\",\"name\":\"flood\","
                            "\"ip\":\"198.18.0.9\",\"version\":\"1.0\"}";
    const uint8_t from[6] = {0x02, 0xf1, 0, 0, 0, 0};
    const uint8_t ip[4] = {198, 18, 0, 9};
    RawFrame* model = CommandFrame::build(from, ip, adapter.address, adapter.ip, text.constData(), text.size());
    QByteArray frame(reinterpret_cast<const char*>(model->bytes()), model->length());
    model->release();

    std::atomic<bool> stop{false};
    std::atomic<bool> ready{false};
    std::atomic<long> sent{0};
    std::thread flooder([&] {
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Far));
        RawPacketSocket socket;
        const bool ok = scope.ok() && socket.open(pair.interfaceName(NetNamespacePair::Far));
        ready.store(true);
        if (!ok)
            return;
        for (uint32_t n = 1; !stop.load(std::memory_order_relaxed); ++n) {
            if (!sameMac) {
                for (int at : {8, 24}) {
                    frame[at] = char(n >> 24);
                    frame[at + 1] = char(n >> 16);
                    frame[at + 2] = char(n >> 8);
                    frame[at + 3] = char(n);
                }
            }
            if (socket.send(frame))
                sent.fetch_add(1, std::memory_order_relaxed);
        }
    });
    while (!ready.load())
        std::this_thread::yield();

    QElapsedTimer timer;
    timer.start();
    QList<DeviceRecord*> found;
    client.search(found, timeoutMs, false);
    const qint64 searchMs = timer.elapsed();
    const long sentDuringSearch = sent.load();
    const long searchKb = statusKb("VmHWM:");
    const QList<DeviceRef> kept = DeviceSearch::accept(found);
    const qint64 acceptedMs = timer.elapsed();
    stop.store(true);
    flooder.join();
    const ProtocolClient::SearchSummary s = client.lastSearch();

    printf("search of %d ms under a flood of search answers from %s over veth\n", timeoutMs,
           sameMac ? "one MAC" : "a new MAC each");
    printf("  answers sent during the search: %ld (%.0f per second)\n", sentDuringSearch,
           sentDuringSearch * 1000.0 / qMax<qint64>(1, searchMs));
    printf("  search wall time %lld ms, list accepted after %lld ms\n", static_cast<long long>(searchMs),
           static_cast<long long>(acceptedMs));
    printf("  kept %d devices (cap %d); %d further answers counted, not kept; %d duplicates dropped\n", s.devices,
           ProtocolClient::MaxSearchDevices, s.overflow, s.duplicates);
    printf("  peak resident memory (VmHWM): %ld kB with the client open, %ld kB after the search\n", startKb,
           searchKb);
    return 0;
}
