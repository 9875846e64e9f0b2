#include "BatchRules.h"

#include <QCryptographicHash>
#include <QMap>
#include <QRegExp>
#include <QStringList>
#include <cstring>

namespace orvane {

bool BatchRules::isValidAddress(const QString& text)
{
    static const QRegExp pattern(QStringLiteral(
        "((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])[.]){3}(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])"));
    return QRegExp(pattern).exactMatch(text);
}

bool BatchRules::parseAddress(const QString& text, uint32_t* address)
{
    if (!isValidAddress(text))
        return false;
    uint32_t value = 0;
    for (const QString& part : text.split(QLatin1Char('.')))
        value = value << 8 | uint32_t(part.toUInt());
    *address = value;
    return true;
}

QString BatchRules::addressText(uint32_t a)
{
    return QStringLiteral("%1.%2.%3.%4").arg(a >> 24).arg(a >> 16 & 0xff).arg(a >> 8 & 0xff).arg(a & 0xff);
}

namespace {
bool isContiguous(uint32_t mask)
{
    // Ones from the top, then only zeros: the inverse plus one is a power of two.
    const uint32_t hosts = ~mask;
    return (hosts & (hosts + 1)) == 0;
}

bool isHostOf(uint32_t address, uint32_t mask)
{
    const uint32_t host = address & ~mask;
    return host != 0 && host != ~mask;
}
} // namespace

QString BatchRules::checkStaticAddress(const QString& address, const QString& netmask, const QString& gateway)
{
    uint32_t a = 0, m = 0, g = 0;
    if (!parseAddress(address, &a))
        return QStringLiteral("%1 is not an IPv4 address").arg(address);
    if (!parseAddress(netmask, &m))
        return QStringLiteral("%1 is not a netmask").arg(netmask);
    // A /31 or /32 leaves no host between the network and broadcast addresses.
    if (!isContiguous(m) || m == 0 || ~m < 3)
        return QStringLiteral("%1 is not a usable netmask (ones, then zeros)").arg(netmask);
    if (!isHostOf(a, m))
        return QStringLiteral("%1 is the network or broadcast address of its subnet").arg(address);
    if (gateway.isEmpty())
        return QString();
    if (!parseAddress(gateway, &g))
        return QStringLiteral("%1 is not an IPv4 address").arg(gateway);
    if ((g & m) != (a & m) || !isHostOf(g, m))
        return QStringLiteral("gateway %1 is outside the subnet of %2/%3").arg(gateway, address, netmask);
    if (g == a)
        return QStringLiteral("gateway %1 is the device's own address").arg(gateway);
    return QString();
}

QStringList BatchRules::consecutiveAddresses(const QString& first, const QString& netmask, int count, QString* error)
{
    QString why = checkStaticAddress(first, netmask, QString());
    QStringList addresses;
    if (why.isEmpty()) {
        uint32_t a = 0, m = 0;
        parseAddress(first, &a);
        parseAddress(netmask, &m);
        const uint32_t lastHost = (a | ~m) - 1;
        for (int i = 0; i < count; ++i, ++a) {
            if (a > lastHost) {
                why = QStringLiteral("%1 devices from %2 run past the last address of the subnet, %3")
                          .arg(count)
                          .arg(first, addressText(lastHost));
                addresses.clear();
                break;
            }
            addresses << addressText(a);
        }
    }
    if (error)
        *error = why;
    return addresses;
}

QString BatchRules::checkMac(const QString& mac)
{
    static const QRegExp pattern(QStringLiteral("[0-9A-Fa-f]{2}([:-]?)[0-9A-Fa-f]{2}(\\1[0-9A-Fa-f]{2}){4}"));
    if (!QRegExp(pattern).exactMatch(mac))
        return QStringLiteral("%1 is not a MAC address (six pairs of hexadecimal digits)").arg(mac);
    const QString key = macKey(mac);
    if (key == QLatin1String("000000000000"))
        return QStringLiteral("%1 is the all-zero MAC address").arg(mac);
    if (key == QLatin1String("ffffffffffff"))
        return QStringLiteral("%1 is the broadcast MAC address").arg(mac);
    if (key.leftRef(2).toUInt(nullptr, 16) & 1)
        return QStringLiteral("%1 is a multicast MAC address").arg(mac);
    return QString();
}

QString BatchRules::macKey(const QString& mac)
{
    QString key = mac.toLower();
    key.remove(QLatin1Char(':'));
    key.remove(QLatin1Char('-'));
    return key;
}

bool BatchRules::hasNumbering(const QString& pattern)
{
    static const QRegExp numbering(QStringLiteral("\\{n(:\\d{1,9}(:\\d{1,2})?)?\\}"));
    return QRegExp(numbering).indexIn(pattern) >= 0;
}

QString BatchRules::numbered(const QString& pattern, int position)
{
    QRegExp numbering(QStringLiteral("\\{n(:(\\d{1,9})(:(\\d{1,2}))?)?\\}"));
    QString out;
    int at = 0;
    for (int found; (found = numbering.indexIn(pattern, at)) >= 0; at = found + numbering.matchedLength()) {
        out += pattern.midRef(at, found - at);
        const qint64 start = numbering.cap(2).isEmpty() ? 1 : numbering.cap(2).toLongLong();
        const int width = numbering.cap(4).toInt();
        out += QStringLiteral("%1").arg(start + position, width, 10, QLatin1Char('0'));
    }
    out += pattern.midRef(at);
    return out;
}

QStringList BatchRules::listedConflicts(const QList<Planned>& plan, const QList<Holder>& listed)
{
    QStringList lines;
    for (const Planned& p : plan) {
        for (const Holder& h : listed) {
            if (h.address == p.value && macKey(h.mac) != macKey(p.device))
                lines << QStringLiteral("%1 for %2 is held by %3 (%4)").arg(p.value, p.device, h.mac, h.name);
        }
    }
    return lines;
}

QStringList BatchRules::macConflicts(const QList<Planned>& plan, const QList<Holder>& listed)
{
    QStringList lines;
    for (const Planned& p : plan) {
        for (const Holder& h : listed) {
            if (macKey(h.mac) == macKey(p.value) && macKey(h.mac) != macKey(p.device))
                lines << QStringLiteral("MAC %1 for %2 is held by %3 (%4)").arg(p.value, p.device, h.mac, h.name);
        }
    }
    return lines;
}

namespace {
// One base-16 digit up; returns the carry.
int countUp(char& c)
{
    if (c == 'f' || c == 'F') {
        c = '0';
        return 1;
    }
    if (c == '9')
        c = 'a';
    else
        c = static_cast<char>(c + 1);
    return 0;
}
} // namespace

QString BatchRules::macSuccessor(const QString& mac)
{
    const int length = mac.size();
    if (length == 0 || length > MaxMacTextLength)
        return QString();
    char buffer[32];
    memset(buffer, 0, sizeof buffer);
    for (int i = 0; i < length; ++i)
        buffer[i] = static_cast<char>(mac.at(i).unicode() & 0xff);
    // The last character always counts, even on a separator place.
    int carry = countUp(buffer[length - 1]);
    for (int i = length - 2; i >= 0; --i) {
        if (i <= 14 && ((0x4924 >> i) & 1))
            continue;
        if (!carry)
            break;
        carry = countUp(buffer[i]);
    }
    return QString::fromLatin1(buffer, int(strnlen(buffer, sizeof buffer)));
}

QString BatchRules::passwordDigest(const QString& password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex());
}

QStringList BatchRules::macSequence(const QString& first, int count)
{
    QStringList out;
    for (QString mac = first; out.size() < count; mac = macSuccessor(mac))
        out.append(mac);
    return out;
}

QStringList BatchRules::macPlanProblems(const QList<Planned>& plan, const QList<Holder>& listed)
{
    QStringList problems;
    QMap<QString, QString> planned; // new MAC key -> device it goes to
    for (const Planned& p : plan) {
        const QString why = checkMac(p.value);
        if (!why.isEmpty()) {
            problems << QStringLiteral("%1 for %2: %3").arg(p.value, p.device, why);
            continue;
        }
        const QString key = macKey(p.value);
        if (planned.contains(key))
            problems << QStringLiteral("%1 is planned for both %2 and %3").arg(p.value, planned.value(key), p.device);
        planned.insert(key, p.device);
    }
    problems += macConflicts(plan, listed);
    return problems;
}

QString BatchRules::checkRtpEndpoint(const QString& text)
{
    if (text.isEmpty())
        return QString();
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const int port = colon > 0 ? text.mid(colon + 1).toInt(&ok) : 0;
    if (colon <= 0 || !isValidAddress(text.left(colon)) || !ok || !isValidPort(port))
        return QStringLiteral("%1 is not ADDRESS:PORT (an IPv4 address, a port from 1 to 65535)").arg(text);
    return QString();
}

} // namespace orvane
