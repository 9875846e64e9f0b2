// Wall time of one `orvane-cli set-name --device MAC` against a segment of 20
// emulated devices, with the default search time: what a script of
// single-device commands waits for each of them.
#include "CliRunner.h"
#include "EmulatedSegment.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>

using namespace orvane;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString reason;
    if (!NetNamespacePair::canRun(&reason)) {
        fprintf(stderr, "bench_cli_setname: %s\n", qPrintable(reason));
        return 2;
    }
    NetNamespacePair pair;
    EmulatedSegment segment;
    QString error;
    if (!pair.ok() || !segment.start(pair, "[]", 20, &error)) {
        fprintf(stderr, "cannot start the emulated segment: %s\n", qPrintable(error + pair.error()));
        return 1;
    }
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
