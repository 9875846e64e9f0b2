#pragma once

#include <QString>
#include <QStringList>

namespace orvane {

struct Adapter;

// Whether this process may open a capture handle, and how the operator can
// grant it: as root, or with the file capabilities cap_net_raw and
// cap_net_admin on the program.
class CapturePermission
{
public:
    static constexpr const char* Capabilities = "cap_net_raw,cap_net_admin=eip";
    // By absolute path: an operator's PATH has no /usr/sbin, and pkexec keeps
    // the caller's PATH out of the root process anyway.
    static constexpr const char* SetcapPath = "/usr/sbin/setcap";

    // True when the process holds CAP_NET_RAW and CAP_NET_ADMIN in its effective set.
    static bool hasCapabilities();
    // False only when the missing permission is the reason capture fails: a
    // handle that opens, or a failure for another reason (the interface is
    // down, no adapter at all), is not the operator's permission problem.
    static bool isMissing(const Adapter* adapter, QString* reason);
    // The program and arguments that grant the capabilities to program.
    static QString grantProgram();
    static QStringList grantArguments(const QString& program);
    // What an administrator types to grant them by hand.
    static QString manualCommand(const QString& program);
};

} // namespace orvane
