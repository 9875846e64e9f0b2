#include "Emulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

using namespace orvane;

namespace {

int fail(const QString& message)
{
    fprintf(stderr, "orvane-emulator: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // Blocked before any thread exists, so that every thread leaves the two
    // signals to the signalfd and the event loop ends in an orderly way.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-emulator"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays intercom devices that answer command frames on one interface."));
    parser.addHelpOption();
    const QCommandLineOption interfaceOption(QStringLiteral("interface"),
                                             QStringLiteral("Interface to listen on."), QStringLiteral("IF"));
    const QCommandLineOption devicesOption(
        QStringLiteral("devices"), QStringLiteral("Number of generated devices (after the configured ones)."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption configOption(
        QStringLiteral("config"),
        QStringLiteral("JSON array of device objects, each with any field and a "
                       "\"misbehave\" object."),
        QStringLiteral("FILE"));
    const QCommandLineOption logOption(QStringLiteral("log"),
                                       QStringLiteral("Log file (default: standard output)."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption readyOption(QStringLiteral("ready-file"),
                                         QStringLiteral("File written once the socket is bound."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                           QStringLiteral("Also log every reply."));
    const QCommandLineOption webOption(
        QStringLiteral("web"),
        QStringLiteral(
            "Also serve each device's web interface (login and firmware upload) on its IPv4 "
            "address. Each address must be configured on this host (ip addr add ADDRESS/15 dev IF), "
            "and the program's host must send to IF's own MAC: search replies teach it each "
            "device's MAC, which no interface here owns, so pin its neighbour entries (ip neigh "
            "replace ADDRESS lladdr IF-MAC nud permanent dev ITS-IF). tools/demo.sh does both."));
    const QCommandLineOption webPortOption(QStringLiteral("web-port"),
                                           QStringLiteral("Port of the web interfaces (default 80)."),
                                           QStringLiteral("PORT"), QStringLiteral("80"));
    parser.addOptions({interfaceOption, devicesOption, configOption, logOption, readyOption, verboseOption,
                       webOption, webPortOption});
    parser.process(app);

    if (!parser.isSet(interfaceOption))
        return fail(QStringLiteral("--interface is required"));
    bool countOk = false;
    const int generatedCount = parser.value(devicesOption).toInt(&countOk);
    if (!countOk || generatedCount < 0 || generatedCount > 65535)
        return fail(QStringLiteral("--devices needs a number from 0 to 65535"));

    bool portOk = false;
    const int webPort = parser.value(webPortOption).toInt(&portOk);
    if (!portOk || webPort < 1 || webPort > 65535)
        return fail(QStringLiteral("--web-port needs a number from 1 to 65535"));

    QVector<EmulatedDevice> devices;
    if (parser.isSet(configOption)) {
        QFile config(parser.value(configOption));
        if (!config.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(config.fileName(), config.errorString()));
        QString error;
        if (!EmulatedDevice::fromConfig(config.readAll(), 1, &devices, &error))
            return fail(QStringLiteral("%1: %2").arg(config.fileName(), error));
    }
    const int configured = devices.size();
    for (int i = 1; i <= generatedCount; ++i)
        devices.append(EmulatedDevice::generated(configured + i));
    if (devices.isEmpty())
        return fail(QStringLiteral("no devices: give --devices or --config"));

    QFile logFile;
    if (parser.isSet(logOption)) {
        logFile.setFileName(parser.value(logOption));
        if (!logFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            return fail(QStringLiteral("cannot write %1: %2").arg(logFile.fileName(), logFile.errorString()));
    } else if (!logFile.open(stdout, QIODevice::WriteOnly)) {
        return fail(QStringLiteral("cannot write to standard output"));
    }

    Emulator emulator;
    for (const EmulatedDevice& device : qAsConst(devices))
        emulator.addDevice(device);
    // Flushed line by line: tests read the log while the emulator runs.
    emulator.setLogSink([&logFile](const QByteArray& line) {
        logFile.write(line + '\n');
        logFile.flush();
    });
    emulator.setVerbose(parser.isSet(verboseOption));

    const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signalFd < 0)
        return fail(QStringLiteral("signalfd failed"));
    QSocketNotifier signalNotifier(signalFd, QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [signalFd] {
        signalfd_siginfo info;
        if (read(signalFd, &info, sizeof info) > 0)
            QCoreApplication::quit();
    });

    QString error;
    if (!emulator.open(parser.value(interfaceOption), &error))
        return fail(error);

    int webCount = 0;
    if (parser.isSet(webOption))
        webCount = emulator.startWeb(quint16(webPort));

    if (parser.isSet(readyOption)) {
        QFile ready(parser.value(readyOption));
        if (!ready.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(QStringLiteral("cannot write %1: %2").arg(ready.fileName(), ready.errorString()));
        ready.write(QByteArray::number(qint64(getpid())) + '\n');
    }
    fprintf(stderr, "orvane-emulator: %d device(s) on %s\n", emulator.deviceCount(),
            qPrintable(parser.value(interfaceOption)));
    if (parser.isSet(webOption))
        fprintf(stderr, "orvane-emulator: %d web interface(s) on port %d\n", webCount, webPort);

    const int status = app.exec();
    emulator.close();
    ::close(signalFd);
    return status;
}
