// The address-conflict check before a batch of 100 static addresses: one ARP
// probe round over a veth pair whose far end holds one of them.
#include "AddressConflicts.h"
#include "BenchSupport.h"
#include "ProtocolClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>

using namespace orvane;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::unique_ptr<NetNamespacePair> wire;
    Adapter adapter;
    if (const int status = benchWire("bench_address_conflicts", wire, &adapter))
        return status;
    NetNamespacePair& pair = *wire;
    NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
    ProtocolClient client;
    if (client.open(&adapter) != 0 || !client.waitUntilCaptureOpen(5000)) {
        fprintf(stderr, "the adapter did not open\n");
        return 1;
    }
    QList<BatchRules::Planned> plan;
    for (int i = 0; i < 100; ++i)
        plan.append({QStringLiteral("02:00:00:00:01:%1").arg(i, 2, 16, QLatin1Char('0')),
                     QStringLiteral("198.18.0.%1").arg(2 + i)});
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        const AddressConflicts found = AddressConflicts::find(client, plan, {});
        printf("100 planned addresses checked in %lld ms, %d conflict(s) (the far end holds 198.18.0.2)\n",
               static_cast<long long>(timer.elapsed()), int(found.lines.size()));
    }
    client.close();
    return 0;
}
