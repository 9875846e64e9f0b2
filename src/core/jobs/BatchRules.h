#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace orvane {

// The rules that a settings page and the command-line front end share, so
// that a batch gives every device the same values whichever way it was started,
// and a value that would take a device off the network is refused before the
// first frame goes out.
class BatchRules
{
public:
    // Four decimal numbers 0 to 255 without leading zeros, separated by dots,
    // nothing before or after.
    static bool isValidAddress(const QString& text);
    struct Planned;
    struct Holder;

    // The address as a host-order number; false for text isValidAddress refuses.
    static bool parseAddress(const QString& text, uint32_t* address);
    static QString addressText(uint32_t address);

    // Why a static address cannot be used, in plain words, or empty when it can:
    // a well-formed contiguous netmask, an address that is a host of its subnet
    // (not the network or broadcast address), and a gateway (optional when
    // empty) that is a host of the same subnet.
    static QString checkStaticAddress(const QString& address, const QString& netmask, const QString& gateway);
    // count host addresses of the subnet from first on, counting through the
    // whole address and skipping the network and broadcast addresses. Empty,
    // with the reason in error, when the batch would run past the last host.
    static QStringList consecutiveAddresses(const QString& first, const QString& netmask, int count,
                                            QString* error);

    // Why a MAC cannot be given to a device, or empty when it can: six pairs of
    // hexadecimal digits separated by ":" or "-" (or not at all), not a
    // multicast, all-zero or broadcast address.
    static QString checkMac(const QString& mac);
    // The six bytes of a MAC that checkMac accepts, lower case without separators.
    static QString macKey(const QString& mac);
    // The next MAC text of a batch: a base-16 counter over the characters that
    // jumps over the separator places 2, 5, 8, 11 and 14. Empty for a text the
    // counter cannot hold (over 31 characters).
    static QString macSuccessor(const QString& mac);
    static constexpr int MaxMacTextLength = 31;
    // One MAC per device of a batch: first, then each successor. The sequence
    // goes on past a device that fails, so every device's value is fixed up front.
    static QStringList macSequence(const QString& first, int count);
    // Why a batch of new MACs cannot go out, one line per problem: a malformed,
    // multicast, zero or broadcast value, a value planned twice, or one another
    // listed device holds. Empty when it can.
    static QStringList macPlanProblems(const QList<Planned>& plan, const QList<Holder>& listed);
    // An RTP channel as typed: empty (the channel off) or ADDRESS:PORT with an
    // IPv4 address and a port 1 to 65535. Why not, or empty when it is good.
    static QString checkRtpEndpoint(const QString& text);

    // A TCP/UDP port a device can use.
    static bool isValidPort(int port) { return port >= 1 && port <= 65535; }

    // The text for the device at position (from 0) of a batch: "{n}" becomes
    // the position counted from 1, "{n:START}" from START, "{n:START:WIDTH}"
    // padded with zeros to WIDTH. Texts without a pattern stay as they are.
    static QString numbered(const QString& pattern, int position);
    static bool hasNumbering(const QString& pattern);

    // What a device receives instead of a typed password: the lower-case
    // hexadecimal MD5 digest of its UTF-8 bytes.
    static QString passwordDigest(const QString& password);

    // A value (address or MAC) planned for the device with MAC device.
    struct Planned
    {
        QString device;
        QString value;
    };
    // A device that already holds an address.
    struct Holder
    {
        QString mac;
        QString address;
        QString name;
    };
    // For each planned address that another listed device holds (any device but
    // the one it goes to), a line naming the address and its holder.
    static QStringList listedConflicts(const QList<Planned>& plan, const QList<Holder>& listed);
    // For each MAC that another listed device holds, a line naming it and its holder.
    static QStringList macConflicts(const QList<Planned>& plan, const QList<Holder>& listed);
};

} // namespace orvane
