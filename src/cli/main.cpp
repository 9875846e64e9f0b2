// orvane-cli: scripted provisioning on the same core as the program.
#include "CliBroadcast.h"
#include "CliContext.h"
#include "CliDeviceCommands.h"
#include "CliFirmware.h"
#include "CliHelp.h"
#include "CliPlan.h"
#include "CommandLogText.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

using namespace orvane;

namespace {

bool g_verbose = false;

// The core's messages (every frame sent and received, its warnings) would bury
// what the command says; --verbose brings them back, passwords masked.
void libraryMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (!g_verbose && type != QtFatalMsg)
        return;
    fprintf(stderr, "%s\n", CommandLogText::maskPasswords(message.toUtf8()).constData());
}

bool isHelp(const QString& arg)
{
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // The same name as the program, so both read one configuration.
    QCoreApplication::setApplicationName(QStringLiteral("orvane"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    // --verbose may stand anywhere before a "--".
    const int end = args.contains(QStringLiteral("--")) ? args.indexOf(QStringLiteral("--")) : args.size();
    g_verbose = args.mid(0, end).contains(QStringLiteral("--verbose")) || !qgetenv("ORVANE_DEBUG").isEmpty();
    for (int i = end - 1; i >= 0; --i) {
        if (args.at(i) == QLatin1String("--verbose"))
            args.removeAt(i);
    }
    qInstallMessageHandler(libraryMessages);

    if (args.isEmpty()) {
        err << cliUsage();
        return CliUsage;
    }
    QString command = args.takeFirst();
    if (isHelp(command) || command == QLatin1String("help")) {
        const QString text = args.isEmpty() ? cliUsage() : cliCommandHelp(args.first());
        if (text.isEmpty()) {
            err << "orvane-cli: unknown command '" << args.first() << "'\n";
            return CliUsage;
        }
        out << text;
        return CliOk;
    }
    if (command == QLatin1String("--version") || command == QLatin1String("-V")) {
        out << "orvane-cli " << ORVANE_VERSION << "\n";
        return CliOk;
    }
    if (!cliCommandNames().contains(command)) {
        const QStringList candidates = command.startsWith(QLatin1Char('-'))
                                           ? QStringList{QStringLiteral("--help"), QStringLiteral("--version"),
                                                         QStringLiteral("--verbose")}
                                           : cliCommandNames();
        err << "orvane-cli: unknown command '" << command << "'" << cliDidYouMean(command, candidates)
            << "; orvane-cli --help lists them\n";
        return CliUsage;
    }
    for (int i = 0; i < args.size() && args.at(i) != QLatin1String("--"); ++i) {
        if (isHelp(args.at(i))) {
            out << cliCommandHelp(command);
            return CliOk;
        }
    }
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
    return cliDeviceCommand(command, args, out, err);
}
