#include "NetNamespacePair.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace orvane {

namespace {
const char NamespacePrefix[] = "orvt-";
} // namespace

bool NetNamespacePair::canRun(QString* reason)
{
    if (geteuid() != 0) {
        if (reason)
            *reason = QStringLiteral("creating network namespaces needs root (run the tests as root; CI does)");
        return false;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty()) {
        if (reason)
            *reason = QStringLiteral("the ip command of iproute2 is missing (tools/install-deps.sh installs it)");
        return false;
    }
    return true;
}

bool NetNamespacePair::requiredByEnvironment()
{
    const QByteArray ci = qgetenv("CI");
    return !ci.isEmpty() && ci != "0" && ci.toLower() != "false";
}

bool NetNamespacePair::runCommand(const QString& program, const QStringList& args, QString* error)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(15000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("%1 %2: %3").arg(program, args.join(QLatin1Char(' ')),
                                                     QString::fromLocal8Bit(p.readAll()).trimmed());
        return false;
    }
    return true;
}

void NetNamespacePair::sweepStale()
{
    // A test that crashed leaves its namespaces behind; their names carry its pid.
    const QStringList names = QDir(QStringLiteral("/run/netns")).entryList(QDir::Files | QDir::System);
    for (const QString& name : names) {
        if (!name.startsWith(QLatin1String(NamespacePrefix)))
            continue;
        const QStringList parts = name.split(QLatin1Char('-'));
        if (parts.size() < 3)
            continue;
        bool ok = false;
        const int pid = parts.at(1).toInt(&ok);
        if (!ok || pid == getpid())
            continue;
        if (kill(pid, 0) == 0 || errno == EPERM)
            continue;
        runCommand(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), name}, nullptr);
    }
}

NetNamespacePair::NetNamespacePair()
{
    static int serial = 0;
    const int n = ++serial;
    const QString tag = QStringLiteral("%1-%2").arg(getpid()).arg(n);
    m_nearNs = QStringLiteral("%1%2-near").arg(QLatin1String(NamespacePrefix), tag);
    m_farNs = QStringLiteral("%1%2-far").arg(QLatin1String(NamespacePrefix), tag);
    // Each end is created straight inside its namespace, so fixed names never clash.
    m_nearIf = QStringLiteral("orvnear");
    m_farIf = QStringLiteral("orvfar");

    QString reason;
    if (!canRun(&reason)) {
        m_error = reason;
        return;
    }
    sweepStale();

    const QString ipTool = QStringLiteral("ip");
    QString error;
    auto step = [&](const QStringList& args) {
        if (!m_error.isEmpty())
            return;
        if (!runCommand(ipTool, args, &error))
            m_error = error;
    };
    step({QStringLiteral("netns"), QStringLiteral("add"), m_nearNs});
    step({QStringLiteral("netns"), QStringLiteral("add"), m_farNs});
    step({QStringLiteral("link"), QStringLiteral("add"), m_nearIf, QStringLiteral("netns"), m_nearNs,
          QStringLiteral("type"), QStringLiteral("veth"), QStringLiteral("peer"), QStringLiteral("name"), m_farIf,
          QStringLiteral("netns"), m_farNs});
    for (Side side : {Near, Far}) {
        const QString ns = namespaceName(side);
        // No IPv6 chatter (router solicitations, MLD) on the test wire.
        runCommand(ipTool,
                   {QStringLiteral("netns"), QStringLiteral("exec"), ns, QStringLiteral("sysctl"), QStringLiteral("-qw"),
                    QStringLiteral("net.ipv6.conf.all.disable_ipv6=1")},
                   nullptr);
        step({QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
              QStringLiteral("up")});
        step({QStringLiteral("-n"), ns, QStringLiteral("addr"), QStringLiteral("add"),
              QStringLiteral("%1/%2").arg(address(side), prefix()), QStringLiteral("dev"), interfaceName(side)});
        step({QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"), interfaceName(side),
              QStringLiteral("up")});
    }
    m_ok = m_error.isEmpty();
}

NetNamespacePair::~NetNamespacePair()
{
    // Deleting a namespace destroys the veth end inside it, and with it the peer.
    for (const QString& ns : {m_nearNs, m_farNs}) {
        if (!ns.isEmpty() && QFile::exists(QStringLiteral("/run/netns/%1").arg(ns)))
            runCommand(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), ns}, nullptr);
    }
}

bool NetNamespacePair::ip(Side side, const QStringList& args)
{
    QString error;
    if (!runCommand(QStringLiteral("ip"), QStringList{QStringLiteral("-n"), namespaceName(side)} + args, &error)) {
        m_error = error;
        return false;
    }
    return true;
}

bool NetNamespacePair::setLinkUp(Side side, bool up)
{
    return ip(side, {QStringLiteral("link"), QStringLiteral("set"), interfaceName(side),
                     up ? QStringLiteral("up") : QStringLiteral("down")});
}

bool NetNamespacePair::setMtu(int mtu)
{
    return ip(Near, {QStringLiteral("link"), QStringLiteral("set"), interfaceName(Near), QStringLiteral("mtu"),
                     QString::number(mtu)}) &&
           ip(Far, {QStringLiteral("link"), QStringLiteral("set"), interfaceName(Far), QStringLiteral("mtu"),
                    QString::number(mtu)});
}

bool NetNamespacePair::enterOnThisThread(const QString& ns)
{
    const int fd = ::open(QFile::encodeName(QStringLiteral("/run/netns/%1").arg(ns)).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = setns(fd, CLONE_NEWNET) == 0;
    ::close(fd);
    return ok;
}

NetnsScope::NetnsScope(const QString& ns)
{
    m_saved = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (m_saved < 0)
        return;
    m_ok = NetNamespacePair::enterOnThisThread(ns);
}

NetnsScope::~NetnsScope()
{
    if (m_saved >= 0) {
        setns(m_saved, CLONE_NEWNET);
        ::close(m_saved);
    }
}

int processThreadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

int settledThreadCount()
{
    int last = processThreadCount();
    for (int stable = 0, round = 0; stable < 3 && round < 100; ++round) {
        QThread::msleep(20);
        const int now = processThreadCount();
        stable = now == last ? stable + 1 : 0;
        last = now;
    }
    return last;
}

} // namespace orvane
