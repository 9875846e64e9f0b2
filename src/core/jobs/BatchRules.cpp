#include "BatchRules.h"

#include <QCryptographicHash>
#include <QRegExp>
#include <QStringList>
#include <cstring>

bool BatchRules::isValidAddress(const QString& text)
{
    static const QRegExp pattern(QStringLiteral(
        "((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])[.]){3}(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])"));
    return QRegExp(pattern).exactMatch(text);
}

QString BatchRules::nextAddress(const QString& address)
{
    const QStringList parts = address.split(QLatin1Char('.'));
    int n[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && i < parts.size(); ++i)
        n[i] = parts.at(i).toInt();
    n[3] = n[3] == 255 ? 0 : n[3] + 1;
    return QStringLiteral("%1.%2.%3.%4").arg(n[0]).arg(n[1]).arg(n[2]).arg(n[3]);
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

QStringList BatchRules::addressSequence(const QString& first, int count)
{
    QStringList out;
    for (QString address = first; out.size() < count; address = nextAddress(address))
        out.append(address);
    return out;
}

QStringList BatchRules::macSequence(const QString& first, int count)
{
    QStringList out;
    for (QString mac = first; out.size() < count; mac = macSuccessor(mac))
        out.append(mac);
    return out;
}
