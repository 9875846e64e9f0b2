#pragma once

#include <QString>
#include <QStringList>
#include <thread>
#include <type_traits>

namespace orvane {

// Two network namespaces joined by a veth pair, for tests that cross a wire.
// Nothing they send can reach a real interface of the machine. The namespaces
// are removed when the object goes, and stale ones of dead test processes are
// swept away when a new pair is made.
class NetNamespacePair
{
public:
    enum Side { Near, Far };

    // Whether this process can build namespaces (root and iproute2); reason says why not.
    static bool canRun(QString* reason);
    // True when the environment says the tests run in CI, where skipping is a failure.
    static bool requiredByEnvironment();

    NetNamespacePair();
    ~NetNamespacePair();
    NetNamespacePair(const NetNamespacePair&) = delete;
    NetNamespacePair& operator=(const NetNamespacePair&) = delete;

    bool ok() const { return m_ok; }
    QString error() const { return m_error; }

    QString namespaceName(Side side) const { return side == Near ? m_nearNs : m_farNs; }
    QString interfaceName(Side side) const { return side == Near ? m_nearIf : m_farIf; }
    QString address(Side side) const { return side == Near ? QStringLiteral("198.18.0.1") : QStringLiteral("198.18.0.2"); }

    // Runs `ip -n <namespace> args...`; false (with error()) when it fails.
    bool ip(Side side, const QStringList& args);
    bool setLinkUp(Side side, bool up);
    bool setMtu(int mtu);

    // Runs fn on a thread that lives in the namespace of side; threads that fn
    // starts stay in that namespace.
    template <typename F>
    auto runIn(Side side, F fn) -> decltype(fn())
    {
        using R = decltype(fn());
        const QString ns = namespaceName(side);
        if constexpr (std::is_void_v<R>) {
            std::thread t([&] {
                if (enterOnThisThread(ns))
                    fn();
            });
            t.join();
        } else {
            R result{};
            std::thread t([&] {
                if (enterOnThisThread(ns))
                    result = fn();
            });
            t.join();
            return result;
        }
    }

    // Moves the calling thread into the namespace for good (a thread of its own).
    static bool enterOnThisThread(const QString& ns);

private:
    static bool runCommand(const QString& program, const QStringList& args, QString* error);
    static void sweepStale();

    bool m_ok = false;
    QString m_error;
    QString m_nearNs, m_farNs, m_nearIf, m_farIf;
};

// Switches the calling thread into a namespace for the scope's life and back.
class NetnsScope
{
public:
    explicit NetnsScope(const QString& ns);
    ~NetnsScope();
    NetnsScope(const NetnsScope&) = delete;
    NetnsScope& operator=(const NetnsScope&) = delete;
    bool ok() const { return m_ok; }

private:
    int m_saved = -1;
    bool m_ok = false;
};

int processThreadCount();
// The same once it has stopped changing, so that a thread of an earlier test
// still on its way out is not counted as a baseline.
int settledThreadCount();

// In a QtTest function: skip with a clear message where namespaces cannot be
// made (not root), but fail where the environment says the tests must run.
#define ORVANE_REQUIRE_NETNS()                                                                                      \
    do {                                                                                                           \
        QString reason_;                                                                                           \
        if (!NetNamespacePair::canRun(&reason_)) {                                                                 \
            if (NetNamespacePair::requiredByEnvironment())                                                         \
                QFAIL(qPrintable(QStringLiteral("network test cannot run in CI: %1").arg(reason_)));               \
            QSKIP(qPrintable(QStringLiteral("network test skipped: %1").arg(reason_)));                            \
        }                                                                                                          \
    } while (0)

} // namespace orvane
