// orvane-cli apply over 100 emulated devices: a plan that renames and
// readdresses all of them, then the same plan again (search and reads only).
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

using namespace orvane;

namespace {
int run(const NetNamespacePair& pair, const QString& plan, const QString& home)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"),
                                   pair.namespaceName(NetNamespacePair::Near), QStringLiteral(ORVANE_CLI_PATH),
                                   QStringLiteral("apply"), plan, QStringLiteral("--adapter"),
                                   pair.interfaceName(NetNamespacePair::Near), QStringLiteral("--timeout"),
                                   QStringLiteral("1000")});
    p.waitForFinished(300000);
    return p.exitCode();
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::unique_ptr<NetNamespacePair> wire;
    if (const int status = benchWire("bench_apply_plan", wire))
        return status;
    NetNamespacePair& pair = *wire;
    EmulatedSegment segment;
    if (!benchSegment("bench_apply_plan", segment, pair, "[]", 100))
        return 1;
    QTemporaryDir dir;
    QFile plan(dir.filePath(QStringLiteral("plan.csv")));
    plan.open(QIODevice::WriteOnly);
    plan.write("mac,name,ip\n");
    for (int i = 1; i <= 100; ++i)
        plan.write(QStringLiteral("02:00:00:00:00:%1,Room %2,198.18.2.%2\n")
                       .arg(i, 2, 16, QLatin1Char('0'))
                       .arg(i)
                       .toUtf8());
    plan.close();
    for (int round = 1; round <= 2; ++round) {
        const int before = segment.commands().size();
        QElapsedTimer timer;
        timer.start();
        const int status = run(pair, plan.fileName(), dir.path());
        const qint64 ms = timer.elapsed();
        int settings = 0;
        const auto commands = segment.commands();
        for (int i = before; i < commands.size(); ++i) {
            settings += commands.at(i).method().startsWith(QLatin1String("Set")) ? 1 : 0;
        }
        printf("%s apply of 100 devices (name and address): %lld ms wall (search 1000 ms of it), exit %d, "
               "%d command frames received by the devices, %d of them setting commands\n",
               round == 1 ? "first" : "second", static_cast<long long>(ms), status,
               int(commands.size() - before), settings);
    }
    return 0;
}
