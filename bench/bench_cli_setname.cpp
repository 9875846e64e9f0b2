// Wall time of one `orvane-cli set-name --device MAC` against a segment of 20
// emulated devices, with the default search time: what a script of
// single-device commands waits for each of them.
#include "CliRunner.h"
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>

using namespace orvane;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::unique_ptr<NetNamespacePair> wire;
    if (const int status = benchWire("bench_cli_setname", wire))
        return status;
    NetNamespacePair& pair = *wire;
    EmulatedSegment segment;
    if (!benchSegment("bench_cli_setname", segment, pair, "[]", 20))
        return 1;
    QTemporaryDir home;
    const int rounds = 5;
    for (const bool all : {false, true}) {
        QList<qint64> times;
        int status = 0;
        for (int i = 0; i < rounds; ++i) {
            const QStringList target =
                all ? QStringList{QStringLiteral("--all")}
                    : QStringList{QStringLiteral("--device"), EmulatedSegment::deviceMac(7)};
            const CliRun r = runNear(pair, home.path(),
                                     QStringList{QStringLiteral("set-name")} + target +
                                         QStringList{QStringLiteral("Room"), QStringLiteral("--adapter"),
                                                     pair.interfaceName(NetNamespacePair::Near)});
            times << r.ms;
            status = r.status;
        }
        std::sort(times.begin(), times.end());
        printf("set-name %s, 20 devices, default search time: median %lld ms wall (min %lld, max %lld), exit "
               "%d\n",
               all ? "--all" : "--device MAC", static_cast<long long>(times.at(rounds / 2)),
               static_cast<long long>(times.first()), static_cast<long long>(times.last()), status);
    }
    return 0;
}
