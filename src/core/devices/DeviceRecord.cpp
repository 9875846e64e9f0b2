#include "DeviceRecord.h"

#include "DeviceReply.h"
#include "HexDigit.h"

#include <QMutexLocker>
#include <cctype>
#include <cjson/cJSON.h>
#include <cstring>

namespace orvane {

namespace {

struct FieldKey
{
    const char* key;
    DeviceRecord::Field field;
};

// Keys are matched exactly; devices of different firmware spell some of them
// differently, and a later member overwrites an earlier one of the same field.
const FieldKey FieldKeys[] = {
    {"mac", DeviceRecord::Mac},
    {"name", DeviceRecord::Name},
    {"type", DeviceRecord::Type},
    {"deviceType", DeviceRecord::Type},
    {"ipMode", DeviceRecord::IpMode},
    {"IpMode", DeviceRecord::IpMode},
    {"ip", DeviceRecord::Ip},
    {"version", DeviceRecord::Version},
    {"appVersion", DeviceRecord::Version},
    {"sIp", DeviceRecord::Ip},
    {"gateway", DeviceRecord::Gateway},
    {"netmask", DeviceRecord::Netmask},
    {"dns1", DeviceRecord::Dns1},
    {"dns2", DeviceRecord::Dns2},
    {"sn", DeviceRecord::Sn},
    {"uid", DeviceRecord::Uid},
};

// One "%x" conversion: blanks, a sign, an optional 0x, at least one hex digit.
// Written out rather than left to sscanf, whose result for a number too large
// for its target is undefined.
bool scanHex(const char*& p, unsigned* value)
{
    const char* s = p;
    while (isspace(static_cast<unsigned char>(*s)))
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && hexDigitValue(s[2]) >= 0)
        s += 2;
    if (hexDigitValue(*s) < 0)
        return false;
    unsigned v = 0;
    for (; hexDigitValue(*s) >= 0; ++s)
        v = (v << 4) | static_cast<unsigned>(hexDigitValue(*s));
    *value = negative ? 0u - v : v;
    p = s;
    return true;
}

QString macText(const uint8_t mac[6])
{
    return QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

QString ipText(const uint8_t ip[4])
{
    return QString::asprintf("%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
}

} // namespace

DeviceRecord* DeviceRecord::create()
{
    return new DeviceRecord();
}

DeviceRecord* DeviceRecord::makeDevice(const DeviceReply* reply)
{
    if (!reply || !reply->json())
        return nullptr;
    const cJSON* method = reply->member("method");
    if (!cJSON_IsString(method) || !method->valuestring || strcmp(method->valuestring, "search") != 0)
        return nullptr;

    DeviceRecord* device = create();
    device->setIpBytes(reply->ip());
    device->setMacBytes(reply->mac());
    for (const cJSON* item = reply->json()->child; item; item = item->next) {
        if (!item->string)
            continue;
        QString value;
        int number;
        if (DeviceReply::integerOf(item, &number))
            value = QString::number(number);
        else if (cJSON_IsString(item) && item->valuestring)
            value = QString::fromUtf8(item->valuestring);
        else
            continue;
        const QString key = QString::fromUtf8(item->string);
        // The device is who sent the frame: a "mac" in the text that names
        // another MAC must neither hide that device nor draw its commands.
        if (key == QLatin1String("mac")) {
            uint8_t named[6];
            if (!parseMac(value, named) || memcmp(named, reply->mac(), sizeof named) != 0) {
                QMutexLocker lock(&device->m_mutex);
                device->m_claimedMac = value;
            }
            continue;
        }
        device->setField(key, value);
    }
    return device;
}

QString DeviceRecord::claimedMac() const
{
    QMutexLocker lock(&m_mutex);
    return m_claimedMac;
}

void DeviceRecord::retain()
{
    m_references.fetch_add(1, std::memory_order_relaxed);
}

void DeviceRecord::release()
{
    if (m_references.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

void DeviceRecord::macBytes(uint8_t mac[6]) const
{
    QMutexLocker lock(&m_mutex);
    memcpy(mac, m_mac, sizeof m_mac);
}

void DeviceRecord::ipBytes(uint8_t ip[4]) const
{
    QMutexLocker lock(&m_mutex);
    memcpy(ip, m_ip, sizeof m_ip);
}

void DeviceRecord::setIpBytes(const uint8_t ip[4])
{
    const QString text = ipText(ip);
    QMutexLocker lock(&m_mutex);
    memcpy(m_ip, ip, sizeof m_ip);
    m_texts[Ip] = text;
}

void DeviceRecord::setMacBytes(const uint8_t mac[6])
{
    const QString text = macText(mac);
    QMutexLocker lock(&m_mutex);
    memcpy(m_mac, mac, sizeof m_mac);
    m_texts[Mac] = text;
}

bool DeviceRecord::parseMac(const QString& text, uint8_t mac[6])
{
    // Six numbers, each pair split by exactly one character of any kind.
    const QByteArray utf8 = text.toUtf8();
    const char* p = utf8.constData();
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (*p == '\0')
                return false;
            ++p;
        }
        unsigned value;
        if (!scanHex(p, &value))
            return false;
        mac[i] = static_cast<uint8_t>(value & 0xff);
    }
    return true;
}

bool DeviceRecord::setMacText(const QString& text)
{
    uint8_t mac[6];
    if (!parseMac(text, mac))
        return false;
    QMutexLocker lock(&m_mutex);
    memcpy(m_mac, mac, sizeof m_mac);
    return true;
}

void DeviceRecord::setField(const QString& key, const QString& value)
{
    for (const FieldKey& entry : FieldKeys) {
        if (key == QLatin1String(entry.key)) {
            setText(entry.field, value);
            return;
        }
    }
    setValue(key, value);
}

QString DeviceRecord::text(Field field) const
{
    if (field < 0 || field >= FieldCount)
        return QString();
    QMutexLocker lock(&m_mutex);
    return m_texts[field];
}

void DeviceRecord::setText(Field field, const QString& value)
{
    if (field < 0 || field >= FieldCount)
        return;
    QMutexLocker lock(&m_mutex);
    m_texts[field] = value;
}

QMap<QString, QString> DeviceRecord::others() const
{
    QMutexLocker lock(&m_mutex);
    return m_others;
}

QString DeviceRecord::value(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    return m_others.value(key);
}

int DeviceRecord::intValue(const QString& key) const
{
    bool ok = false;
    const int number = value(key).toInt(&ok, 10);
    return ok ? number : 0;
}

void DeviceRecord::setValue(const QString& key, const QString& value)
{
    QMutexLocker lock(&m_mutex);
    m_others.insert(key, value);
}

void DeviceRecord::setIntValue(const QString& key, int value)
{
    setValue(key, QString::number(value));
}

int DeviceRecord::compare(const DeviceRecord* a, const DeviceRecord* b, Field field)
{
    // Copies first: holding both locks at once could deadlock against a
    // comparison running the other way round.
    const QString left = a->text(field);
    const QString right = b->text(field);
    switch (field) {
    case Ip:
        return compareAddresses(left, right);
    case Mac:
        return compareMacs(left, right);
    case Name:
        return compareNatural(left, right);
    default:
        return QString::compare(left, right, Qt::CaseInsensitive);
    }
}

int DeviceRecord::compareNatural(const QString& left, const QString& right)
{
    // Runs of digits compare by their value, so "Device 2" comes before "Device 10".
    int i = 0, j = 0;
    while (i < left.size() && j < right.size()) {
        if (left.at(i).isDigit() && right.at(j).isDigit()) {
            int iEnd = i, jEnd = j;
            while (iEnd < left.size() && left.at(iEnd).isDigit())
                ++iEnd;
            while (jEnd < right.size() && right.at(jEnd).isDigit())
                ++jEnd;
            while (i < iEnd - 1 && left.at(i) == QLatin1Char('0'))
                ++i;
            while (j < jEnd - 1 && right.at(j) == QLatin1Char('0'))
                ++j;
            if (iEnd - i != jEnd - j)
                return (iEnd - i) < (jEnd - j) ? -1 : 1;
            const int c = QStringRef(&left, i, iEnd - i).compare(QStringRef(&right, j, jEnd - j));
            if (c != 0)
                return c;
            i = iEnd;
            j = jEnd;
            continue;
        }
        const QChar l = left.at(i).toCaseFolded(), r = right.at(j).toCaseFolded();
        if (l != r)
            return l < r ? -1 : 1;
        ++i;
        ++j;
    }
    return (left.size() - i) - (right.size() - j) < 0 ? -1 : (left.size() - i) == (right.size() - j) ? 0 : 1;
}

int DeviceRecord::compareAddresses(const QString& left, const QString& right)
{
    // Numerically, so 198.18.1.9 comes before 198.18.1.10; texts that are no
    // address come after all addresses.
    auto value = [](const QString& text, bool* ok) {
        const QStringList parts = text.split(QLatin1Char('.'));
        quint64 v = 0;
        *ok = parts.size() == 4;
        for (const QString& part : parts) {
            bool partOk = false;
            const uint n = part.toUInt(&partOk);
            *ok = *ok && partOk && n <= 255;
            v = v << 8 | (n & 0xff);
        }
        return v;
    };
    bool leftOk = false, rightOk = false;
    const quint64 l = value(left, &leftOk), r = value(right, &rightOk);
    if (leftOk != rightOk)
        return leftOk ? -1 : 1;
    if (!leftOk)
        return QString::compare(left, right, Qt::CaseInsensitive);
    return l < r ? -1 : l > r ? 1 : 0;
}

int DeviceRecord::compareMacs(const QString& left, const QString& right)
{
    // Separators and case aside, the twelve digits compare as one number.
    auto digits = [](QString text) {
        text.remove(QLatin1Char(':'));
        text.remove(QLatin1Char('-'));
        return text.toLower();
    };
    return QString::compare(digits(left), digits(right));
}

bool DeviceRecord::ipAsc(const DeviceRecord* a, const DeviceRecord* b)
{
    return compare(a, b, Ip) < 0;
}

bool DeviceRecord::ipDesc(const DeviceRecord* a, const DeviceRecord* b)
{
    return compare(a, b, Ip) > 0;
}

bool DeviceRecord::macAsc(const DeviceRecord* a, const DeviceRecord* b)
{
    return compare(a, b, Mac) < 0;
}

bool DeviceRecord::macDesc(const DeviceRecord* a, const DeviceRecord* b)
{
    return compare(a, b, Mac) > 0;
}

bool DeviceRecord::nameAsc(const DeviceRecord* a, const DeviceRecord* b)
{
    return compare(a, b, Name) < 0;
}

bool DeviceRecord::nameDesc(const DeviceRecord* a, const DeviceRecord* b)
{
    return compare(a, b, Name) > 0;
}

bool DeviceRecord::uidAsc(const DeviceRecord* a, const DeviceRecord* b)
{
    return compare(a, b, Uid) < 0;
}

bool DeviceRecord::uidDesc(const DeviceRecord* a, const DeviceRecord* b)
{
    return compare(a, b, Uid) > 0;
}

} // namespace orvane
