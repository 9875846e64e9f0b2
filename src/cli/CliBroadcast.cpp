#include "CliBroadcast.h"

#include "AudioEndpoints.h"
#include "CliContext.h"
#include "CliHelp.h"
#include "FileAudioReader.h"
#include "FileAudioReaderObserver.h"
#include "LiveAudioReader.h"
#include "MulticastBroadcast.h"
#include "RtpMulticastSession.h"
#include "StreamDestination.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QThread>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <atomic>
#include <csignal>
#include <cstring>

namespace orvane {

namespace {

const char Usage[] = "usage: orvane-cli broadcast --to GROUP:PORT [--adapter NAME] [--ttl 1-255] [--duration "
                     "SECONDS] [--sdp FILE] "
                     "(FILE... | --source ID)";
const char SourcesUsage[] = "usage: orvane-cli sources [--format table|json]";
const int PollMs = 20;

// Written by the handler, read by the main loop; the send thread's reads may
// run on another thread than the one the signal lands on.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

void onStopSignal(int signal)
{
    g_stopSignal.store(signal);
}

// Installs the stop handlers for its lifetime and puts the old ones back.
class StopSignals
{
public:
    StopSignals()
    {
        g_stopSignal = 0;
        struct sigaction action
        {
        };
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction m_oldInt
    {
    };
    struct sigaction m_oldTerm
    {
    };
};

// The reader's notices come from the RTP send thread; the main loop prints them.
class PlayListEvents : public FileAudioReaderObserver
{
public:
    struct Event
    {
        bool opened;
        int position;
        QString path;
    };

    void onFileOpened(FileAudioReader*, int position, const QString& path) override
    {
        add({true, position, path});
    }
    void onFileOpenFailed(FileAudioReader*, int position, const QString& path) override
    {
        add({false, position, path});
    }

    QVector<Event> take()
    {
        QMutexLocker lock(&m_lock);
        QVector<Event> events;
        events.swap(m_events);
        return events;
    }

private:
    void add(const Event& e)
    {
        QMutexLocker lock(&m_lock);
        m_events.append(e);
    }

    QMutex m_lock; // guards m_events
    QVector<Event> m_events;
};

int usageError(QTextStream& err, const QString& problem)
{
    err << "orvane-cli broadcast: " << problem << " (" << Usage << ")" << Qt::endl;
    return 2;
}

// Prints what the play list did; false when a file could not be opened.
bool report(PlayListEvents& events, int fileCount, QTextStream& out, QTextStream& err)
{
    bool ok = true;
    for (const PlayListEvents::Event& e : events.take()) {
        if (e.opened) {
            out << "playing " << (e.position + 1) << "/" << fileCount << ": " << e.path << Qt::endl;
        } else {
            err << "orvane-cli broadcast: cannot play " << e.path << " (no such file or no audio in it)"
                << Qt::endl;
            ok = false;
        }
    }
    return ok;
}

} // namespace

int cliBroadcast(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QString to, sdpPath, sourceId, adapter;
    int ttl = RtpMulticastSession::MulticastTtl;
    bool haveSource = false;
    double duration = 0.0;
    bool haveDuration = false;
    QStringList files;
    bool optionsDone = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (optionsDone || !a.startsWith(QLatin1String("--"))) {
            files.append(a);
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsDone = true;
            continue;
        }
        if (a != QLatin1String("--to") && a != QLatin1String("--duration") && a != QLatin1String("--sdp") &&
            a != QLatin1String("--source") && a != QLatin1String("--adapter") && a != QLatin1String("--ttl"))
            return usageError(err, QStringLiteral("unknown option %1%2")
                                       .arg(a, cliDidYouMean(a, cliOptionNames(QStringLiteral("broadcast")))));
        if (i + 1 >= args.size())
            return usageError(err, QStringLiteral("%1 needs a value").arg(a));
        const QString value = args.at(++i);
        if (a == QLatin1String("--to")) {
            to = value;
        } else if (a == QLatin1String("--source")) {
            sourceId = value;
            haveSource = true;
        } else if (a == QLatin1String("--sdp")) {
            sdpPath = value;
        } else if (a == QLatin1String("--adapter")) {
            adapter = value;
        } else if (a == QLatin1String("--ttl")) {
            bool ok = false;
            ttl = value.toInt(&ok, 10);
            if (!ok || ttl < 1 || ttl > 255)
                return usageError(err, QStringLiteral("--ttl takes a number from 1 to 255"));
        } else {
            bool ok = false;
            duration = value.toDouble(&ok);
            if (!ok || !std::isfinite(duration) || duration <= 0.0)
                return usageError(err, QStringLiteral("--duration takes a positive number of seconds"));
            haveDuration = true;
        }
    }
    if (to.isEmpty())
        return usageError(err, QStringLiteral("--to GROUP:PORT is required"));
    StreamDestination destination;
    const QString problem = StreamDestination::parse(to, &destination);
    if (!problem.isEmpty())
        return usageError(err, QStringLiteral("--to: %1").arg(problem));
    const QString group = destination.address;
    const int port = destination.port;
    if (haveSource && !files.isEmpty())
        return usageError(err, QStringLiteral("--source broadcasts an endpoint, not files"));
    if (haveSource && sourceId.isEmpty())
        return usageError(err,
                          QStringLiteral("--source needs an endpoint id (orvane-cli sources lists them)"));
    if (!haveSource && files.isEmpty())
        return usageError(err, QStringLiteral("no file to broadcast"));

    AudioEndpoint endpoint;
    if (haveSource) {
        bool found = false;
        // PulseAudio's own tools name what plays on a sink by its monitor, "s1.monitor".
        const QString monitorOf = sourceId.endsWith(QLatin1String(".monitor"))
                                      ? sourceId.chopped(int(strlen(".monitor")))
                                      : QString();
        for (const AudioEndpoint& d : listAudioSources()) {
            if (d.id == sourceId ||
                (d.kind == AudioEndpoint::Render && !monitorOf.isEmpty() && d.id == monitorOf)) {
                endpoint = d;
                found = true;
                break;
            }
        }
        QString reason;
        if (!found && !soundServerReachable(&reason)) {
            err << "orvane-cli broadcast: no sound server was reached (" << reason << ")" << Qt::endl;
            return 1;
        }
        if (!found) {
            err << "orvane-cli broadcast: no audio endpoint " << sourceId
                << " (orvane-cli sources lists them)" << Qt::endl;
            return 1;
        }
    }

    QStringList paths;
    for (const QString& f : files) {
        const QFileInfo info(f);
        if (!info.isFile() || !info.isReadable()) {
            err << "orvane-cli broadcast: cannot read " << f << Qt::endl;
            return 1;
        }
        paths.append(info.absoluteFilePath());
    }

    if (destination.hasOddPort())
        err << "orvane-cli broadcast: warning: port " << port
            << " is odd; RTP belongs on an even port and RTCP on "
            << "the next, so some receivers will not find the reports" << Qt::endl;

    if (!sdpPath.isEmpty()) {
        QFile sdp(sdpPath);
        if (!sdp.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            sdp.write(sessionDescription(destination, sourceAddressFor(destination, adapter), ttl).toUtf8()) <
                0 ||
            !sdp.flush()) {
            err << "orvane-cli broadcast: cannot write " << sdpPath << Qt::endl;
            return 1;
        }
    }

    StopSignals stopSignals;
    PlayListEvents events;
    MulticastBroadcast multicast;
    if (haveSource) {
        auto* reader = new LiveAudioReader;
        reader->setDevice(endpoint);
        multicast.setReader(reader);
        out << "broadcasting " << (endpoint.kind == AudioEndpoint::Render ? "what plays on " : "")
            << endpoint.name << " (" << endpoint.id << ") to " << group << ":" << port << Qt::endl;
    } else {
        auto* reader = new FileAudioReader;
        reader->setFiles(paths);
        reader->setObserver(&events);
        multicast.setReader(reader);
        out << "broadcasting " << paths.size() << (paths.size() == 1 ? " file" : " files") << " to " << group
            << ":" << port << Qt::endl;
    }
    multicast.setInterface(adapter);
    multicast.setTtl(ttl);
    if (multicast.start(group, port) < 0) {
        const QString why = multicast.startError();
        multicast.stop();
        report(events, paths.size(), out, err);
        err << "orvane-cli broadcast: cannot start the broadcast to " << group << ":" << port << " ("
            << (haveSource && why.contains(QLatin1String("audio source"))
                    ? QStringLiteral("the endpoint cannot be captured or encoded")
                    : why)
            << ")" << Qt::endl;
        return 1;
    }

    const int64_t begin = RtpMulticastSession::monotonicMs();
    const int64_t end = haveDuration ? begin + int64_t(std::llround(duration * 1000.0)) : 0;
    bool ok = true;
    while (g_stopSignal == 0) {
        if (!report(events, paths.size(), out, err)) {
            ok = false;
            break;
        }
        if (!multicast.failure().isEmpty())
            break;
        const int64_t now = RtpMulticastSession::monotonicMs();
        if (haveDuration && now >= end)
            break;
        const int64_t nap = haveDuration ? std::min<int64_t>(PollMs, end - now) : PollMs;
        QThread::msleep(static_cast<unsigned long>(std::max<int64_t>(nap, 1)));
    }
    const QString failure = multicast.failure();
    multicast.stop();
    if (!report(events, paths.size(), out, err))
        ok = false;
    if (!failure.isEmpty()) {
        err << "orvane-cli broadcast: packets to " << group << ":" << port << " cannot be sent: " << failure
            << Qt::endl;
        ok = false;
    }
    const double seconds = double(RtpMulticastSession::monotonicMs() - begin) / 1000.0;
    if (g_stopSignal != 0)
        out << "interrupted" << Qt::endl;
    out << "stopped after " << QString::number(seconds, 'f', 3) << " s: " << multicast.sentPackets()
        << " packets, " << QString::number(multicast.sentDuration() / 1000.0, 'f', 3) << " s of audio"
        << Qt::endl;
    // Packets of no duration are junk a damaged file gave, not a broadcast.
    if (ok && !haveSource && multicast.sentDuration() <= 0.0 && g_stopSignal.load() == 0) {
        err << "orvane-cli broadcast: no MPEG audio found in " << paths.join(QStringLiteral(", ")) << Qt::endl;
        ok = false;
    }
    return ok ? 0 : 1;
}

int cliSources(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QString format = QStringLiteral("table");
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--format") && i + 1 < args.size()) {
            format = args.at(++i);
            continue;
        }
        err << "orvane-cli sources: unexpected " << args.at(i)
            << cliDidYouMean(args.at(i), cliOptionNames(QStringLiteral("sources"))) << " (" << SourcesUsage << ")"
            << Qt::endl;
        return 2;
    }
    if (format != QLatin1String("table") && format != QLatin1String("json")) {
        err << "orvane-cli sources: unknown format " << format << " (" << SourcesUsage << ")" << Qt::endl;
        return 2;
    }
    const QList<AudioEndpoint> sources = listAudioSources();
    QString reason;
    if (sources.isEmpty() && !soundServerReachable(&reason)) {
        err << "orvane-cli sources: no sound server was reached (" << reason << ")" << Qt::endl;
        return 1;
    }
    if (format == QLatin1String("json")) {
        QJsonArray list;
        for (const AudioEndpoint& d : sources)
            list.append(QJsonObject{{"kind", d.kind}, {"id", d.id}, {"name", d.name}});
        out << QJsonDocument(QJsonObject{{QStringLiteral("version"), CliContext::JsonVersion},
                                         {QStringLiteral("command"), QStringLiteral("sources")},
                                         {QStringLiteral("sources"), list}})
                   .toJson(QJsonDocument::Indented);
        out.flush();
        return 0;
    }
    // Tab-separated, so that ids and names with spaces stay one field each.
    out << "KIND\tID\tNAME" << Qt::endl;
    for (const AudioEndpoint& d : sources)
        out << d.kind << "\t" << d.id << "\t" << d.name << Qt::endl;
    return 0;
}

} // namespace orvane
