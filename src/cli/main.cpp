// orvane-cli: scripted provisioning on the same core as the program.
#include "CliBroadcast.h"
#include "CliDeviceCommands.h"
#include "CliFirmware.h"
#include "CliPlan.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

namespace {
// The core's debug lines (every frame sent and received) would bury the
// output; ORVANE_DEBUG=1 brings them back.
void quietDebug(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    fprintf(stderr, "%s\n", qPrintable(message));
}

void usage(QTextStream& out)
{
    out << "usage: orvane-cli COMMAND [OPTIONS]\n\n"
           "  adapters [--format table|json|csv]\n"
           "  search [--adapter NAME] [--timeout MS] [--alarm-test] [--any-model] [--format table|json|csv]\n"
        << cliDeviceCommandsHelp() << cliFirmwareHelp() << cliPlanHelp()
        << "  broadcast --to GROUP:PORT [--adapter NAME] [--ttl 1-255] [--duration SECONDS] [--sdp FILE]\n"
           "            (FILE... | --source ID)\n"
           "  sources [--format table|json]\n\n"
           "Device commands also take --adapter, --timeout (search time) and --format table|json.\n"
           "Exit status: 0 success, 1 the device failed or did not answer, 2 bad usage, unknown device\n"
           "or no usable adapter, 3 no permission to capture raw frames (the message says how to grant it).\n";
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (qgetenv("ORVANE_DEBUG").isEmpty())
        qInstallMessageHandler(quietDebug);
    // The same name as the program, so both read one configuration.
    QCoreApplication::setApplicationName(QStringLiteral("orvane"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h") ||
        args.first() == QLatin1String("help")) {
        usage(args.isEmpty() ? err : out);
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("adapters"))
        return cliAdapters(args, out, err);
    if (command == QLatin1String("search"))
        return cliSearch(args, out, err);
    if (command == QLatin1String("broadcast"))
        return cliBroadcast(args, out, err);
    if (command == QLatin1String("sources"))
        return cliSources(args, out, err);
    if (command == QLatin1String("export"))
        return cliExport(args, out, err);
    if (command == QLatin1String("apply"))
        return cliApply(args, out, err);
    if (command == QLatin1String("firmware"))
        return cliFirmware(args, out, err);
    if (cliIsDeviceCommand(command))
        return cliDeviceCommand(command, args, out, err);
    err << "orvane-cli: unknown command '" << command << "' (orvane-cli --help lists them)\n";
    return 2;
}
