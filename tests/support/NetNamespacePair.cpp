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
    QString why;
    if (geteuid() != 0)
        why = QStringLiteral("creating network namespaces needs root (run the tests as root; CI does)");
    else if (QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty())
        why = QStringLiteral("the ip command of iproute2 is missing (tools/install-deps.sh installs it)");
    if (reason)
        *reason = why;
    return why.isEmpty();
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
    for (const QString& name : QDir(QStringLiteral("/run/netns")).entryList(QDir::Files | QDir::System)) {
        const QStringList parts = name.split(QLatin1Char('-'));
        bool ok = false;
        const int pid = parts.value(1).toInt(&ok);
        if (name.startsWith(QLatin1String(NamespacePrefix)) && parts.size() >= 3 && ok && pid != getpid() &&
            kill(pid, 0) != 0 && errno != EPERM)
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

    // Names and addresses hold no space: each step is one command line of ip.
    auto step = [&](const QString& line) {
        if (m_error.isEmpty())
            runCommand(QStringLiteral("ip"), line.split(QLatin1Char(' ')), &m_error);
    };
    step("netns add " + m_nearNs);
    step("netns add " + m_farNs);
    step(QStringLiteral("link add %1 netns %2 type veth peer name %3 netns %4")
             .arg(m_nearIf, m_nearNs, m_farIf, m_farNs));
    for (Side side : {Near, Far}) {
        const QString ns = namespaceName(side), dev = interfaceName(side);
        // No IPv6 chatter (router solicitations, MLD) on the test wire.
        runCommand("ip", {"netns", "exec", ns, "sysctl", "-qw", "net.ipv6.conf.all.disable_ipv6=1"}, nullptr);
        step(QStringLiteral("-n %1 link set lo up").arg(ns));
        step(QStringLiteral("-n %1 addr add %2/24 dev %3").arg(ns, address(side), dev));
        step(QStringLiteral("-n %1 link set %2 up").arg(ns, dev));
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
    return runCommand(QStringLiteral("ip"), QStringList{QStringLiteral("-n"), namespaceName(side)} + args, &m_error);
}

bool NetNamespacePair::setLinkUp(Side side, bool up)
{
    return ip(side, {"link", "set", interfaceName(side), up ? "up" : "down"});
}

bool NetNamespacePair::setMtu(int mtu)
{
    return ip(Near, {"link", "set", interfaceName(Near), "mtu", QString::number(mtu)}) &&
           ip(Far, {"link", "set", interfaceName(Far), "mtu", QString::number(mtu)});
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
