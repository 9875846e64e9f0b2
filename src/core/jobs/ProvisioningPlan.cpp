#include "ProvisioningPlan.h"

#include "BatchRules.h"
#include "DeviceRecord.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace orvane {

namespace {

QString sipColumn(int account, const char* field)
{
    return QStringLiteral("sip%1_%2").arg(account + 1).arg(QLatin1String(field));
}

QString rtpColumn(int channel)
{
    return QStringLiteral("rtp%1").arg(channel + 1);
}

const char* const SipFields[] = {"account", "password", "display_name", "server", "port"};

// CSV fields of one record; a quoted field may hold separators, quotes ("")
// and line breaks. pos is left at the start of the next record.
QStringList csvRecord(const QString& text, int& pos, bool* ok)
{
    QStringList fields;
    QString field;
    bool quoted = false, wasQuoted = false;
    *ok = true;
    for (; pos < text.size(); ++pos) {
        const QChar c = text.at(pos);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (pos + 1 < text.size() && text.at(pos + 1) == QLatin1Char('"')) {
                    field += c;
                    ++pos;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << (wasQuoted ? field : field.trimmed());
            field.clear();
            wasQuoted = false;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && pos + 1 < text.size() && text.at(pos + 1) == QLatin1Char('\n'))
                ++pos;
            ++pos;
            break;
        } else {
            field += c;
        }
    }
    if (quoted)
        *ok = false;
    fields << (wasQuoted ? field : field.trimmed());
    return fields;
}

QString csvField(const QString& value)
{
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) && !value.contains(QLatin1Char('\n')) &&
        !value.contains(QLatin1Char('\r')) && value.trimmed() == value)
        return value;
    QString quoted = value;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool isInt(const QString& text, int low, int high)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok && v >= low && v <= high;
}

// Why a planned value cannot be sent, or empty.
QString checkValue(const QString& column, const QString& value)
{
    if (column == QLatin1String("ip_mode")) {
        if (value.compare(QLatin1String("dhcp"), Qt::CaseInsensitive) != 0 &&
            value.compare(QLatin1String("static"), Qt::CaseInsensitive) != 0)
            return QStringLiteral("must be dhcp or static");
    } else if (column == QLatin1String("ip") || column == QLatin1String("netmask") ||
               column == QLatin1String("gateway") || column == QLatin1String("dns1") ||
               column == QLatin1String("dns2")) {
        if (!BatchRules::isValidAddress(value))
            return QStringLiteral("%1 is not an IPv4 address").arg(value);
    } else if (column == QLatin1String("mic_volume") || column == QLatin1String("out_volume")) {
        if (!isInt(value, 0, 100))
            return QStringLiteral("must be a number from 0 to 100");
    } else if (column == QLatin1String("auto_mute")) {
        if (!isInt(value, 0, 1))
            return QStringLiteral("must be 0 or 1");
    } else if (column.startsWith(QLatin1String("sip")) && column.endsWith(QLatin1String("_port"))) {
        if (!isInt(value, 1, 65535))
            return QStringLiteral("must be a port from 1 to 65535");
    } else if (column.startsWith(QLatin1String("rtp"))) {
        if (value.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
            return QString();
        const int colon = value.lastIndexOf(QLatin1Char(':'));
        if (colon <= 0 || !BatchRules::isValidAddress(value.left(colon)) || !isInt(value.mid(colon + 1), 1, 65535))
            return QStringLiteral("must be ADDRESS:PORT (an IPv4 address, a port from 1 to 65535) or off");
    }
    return QString();
}

QString valueText(const QJsonValue& v)
{
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 12);
    if (v.isBool())
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return v.toString();
}

} // namespace

QStringList ProvisioningPlan::settableColumns()
{
    QStringList columns{QStringLiteral("name"),       QStringLiteral("ip_mode"),     QStringLiteral("ip"),
                        QStringLiteral("netmask"),    QStringLiteral("gateway"),     QStringLiteral("dns1"),
                        QStringLiteral("dns2"),       QStringLiteral("mic_volume"),  QStringLiteral("out_volume"),
                        QStringLiteral("auto_mute"),  QStringLiteral("web_account"), QStringLiteral("web_password")};
    for (int a = 0; a < SipAccounts; ++a)
        for (const char* field : SipFields)
            columns << sipColumn(a, field);
    for (int c = 0; c < RtpChannels; ++c)
        columns << rtpColumn(c);
    return columns;
}

QStringList ProvisioningPlan::readOnlyColumns()
{
    return {QStringLiteral("uid"), QStringLiteral("type"), QStringLiteral("version"), QStringLiteral("sn")};
}

bool ProvisioningPlan::isSecret(const QString& column)
{
    return column.endsWith(QLatin1String("password"));
}

bool ProvisioningPlan::addRow(int line, const QMap<QString, QString>& cells, QStringList* errors)
{
    static const QStringList settable = settableColumns();
    static const QStringList readOnly = readOnlyColumns();
    Row row;
    row.line = line;
    bool ok = true;
    for (auto it = cells.cbegin(); it != cells.cend(); ++it) {
        const QString& column = it.key();
        if (column == QLatin1String("mac")) {
            row.mac = it.value();
            continue;
        }
        if (readOnly.contains(column))
            continue;
        if (!settable.contains(column)) {
            *errors << QStringLiteral("row %1: unknown column \"%2\"").arg(line).arg(column);
            ok = false;
            continue;
        }
        if (it.value().isEmpty())
            continue;
        const QString why = checkValue(column, it.value());
        if (!why.isEmpty()) {
            *errors << QStringLiteral("row %1, %2: %3").arg(line).arg(column, why);
            ok = false;
            continue;
        }
        row.values.insert(column, it.value());
    }
    const QString macError = row.mac.isEmpty() ? QStringLiteral("no mac") : BatchRules::checkMac(row.mac);
    if (!macError.isEmpty()) {
        *errors << QStringLiteral("row %1: %2").arg(line).arg(macError);
        return false;
    }
    for (const Row& other : m_rows) {
        if (BatchRules::macKey(other.mac) == BatchRules::macKey(row.mac)) {
            *errors << QStringLiteral("row %1: %2 is already planned in row %3").arg(line).arg(row.mac).arg(other.line);
            return false;
        }
    }
    if (ok)
        m_rows << row;
    return ok;
}

bool ProvisioningPlan::parse(const QByteArray& data, QStringList* errors)
{
    m_rows.clear();
    errors->clear();
    const QString text = QString::fromUtf8(data).remove(QChar(0xFEFF));
    const QString start = text.trimmed().left(1);
    if (start == QLatin1String("[") || start == QLatin1String("{")) {
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &parseError);
        if (doc.isNull()) {
            *errors << QStringLiteral("not valid JSON: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
            return false;
        }
        QJsonArray devices;
        if (doc.isArray()) {
            devices = doc.array();
        } else {
            const QJsonObject top = doc.object();
            const int version = top.value(QStringLiteral("version")).toInt(FormatVersion);
            if (version != FormatVersion) {
                *errors << QStringLiteral("plan version %1 is not known (this program reads %2)")
                               .arg(version)
                               .arg(FormatVersion);
                return false;
            }
            devices = top.value(QStringLiteral("devices")).toArray();
        }
        for (int i = 0; i < devices.size(); ++i) {
            if (!devices.at(i).isObject()) {
                *errors << QStringLiteral("row %1: not an object").arg(i + 1);
                continue;
            }
            const QJsonObject o = devices.at(i).toObject();
            QMap<QString, QString> cells;
            for (auto it = o.constBegin(); it != o.constEnd(); ++it) {
                if (it.value().isArray() || it.value().isObject()) {
                    *errors << QStringLiteral("row %1, %2: must be a text or a number").arg(i + 1).arg(it.key());
                    continue;
                }
                cells.insert(it.key(), valueText(it.value()));
            }
            addRow(i + 1, cells, errors);
        }
    } else {
        int pos = 0, line = 1;
        bool ok = true;
        QStringList header = csvRecord(text, pos, &ok);
        for (QString& h : header)
            h = h.trimmed().toLower();
        if (!header.contains(QLatin1String("mac")))
            *errors << QStringLiteral("the header has no mac column");
        while (errors->isEmpty() && pos < text.size()) {
            ++line;
            const QStringList fields = csvRecord(text, pos, &ok);
            if (!ok) {
                *errors << QStringLiteral("row %1: a quoted cell is not closed").arg(line);
                break;
            }
            if (fields.size() == 1 && fields.first().isEmpty())
                continue;
            if (fields.size() > header.size()) {
                *errors << QStringLiteral("row %1: %2 cells under %3 columns").arg(line).arg(fields.size()).arg(header.size());
                continue;
            }
            QMap<QString, QString> cells;
            for (int i = 0; i < fields.size(); ++i)
                cells.insert(header.at(i), fields.at(i));
            addRow(line, cells, errors);
        }
    }
    if (errors->isEmpty() && m_rows.isEmpty())
        *errors << QStringLiteral("the plan names no device");
    return errors->isEmpty();
}

ProvisioningPlan ProvisioningPlan::only(const QStringList& macs) const
{
    QSet<QString> keep;
    for (const QString& mac : macs)
        keep.insert(BatchRules::macKey(mac));
    ProvisioningPlan subset;
    for (const Row& row : m_rows)
        if (keep.contains(BatchRules::macKey(row.mac)))
            subset.m_rows << row;
    return subset;
}

QMap<QString, QString> ProvisioningPlan::currentValues(const DeviceRecord& device, const SipAccountSettings* sip,
                                                       const QList<RtpChannelSettings>* rtp, bool withSecrets)
{
    QMap<QString, QString> v;
    v.insert(QStringLiteral("mac"), device.mac());
    v.insert(QStringLiteral("uid"), device.uid());
    v.insert(QStringLiteral("type"), device.type());
    v.insert(QStringLiteral("version"), device.version());
    v.insert(QStringLiteral("sn"), device.sn());
    v.insert(QStringLiteral("name"), device.name());
    v.insert(QStringLiteral("ip_mode"), device.ipMode().compare(QLatin1String("dhcp"), Qt::CaseInsensitive) == 0
                                            ? QStringLiteral("dhcp")
                                            : QStringLiteral("static"));
    v.insert(QStringLiteral("ip"), device.ip());
    v.insert(QStringLiteral("netmask"), device.netmask());
    v.insert(QStringLiteral("gateway"), device.gateway());
    v.insert(QStringLiteral("dns1"), device.dns1());
    v.insert(QStringLiteral("dns2"), device.dns2());
    v.insert(QStringLiteral("mic_volume"), device.value(QStringLiteral("micVolume")));
    v.insert(QStringLiteral("out_volume"), device.value(QStringLiteral("outVolume")));
    v.insert(QStringLiteral("auto_mute"), device.value(QStringLiteral("autoMute")));
    v.insert(QStringLiteral("web_account"), device.account());
    if (withSecrets)
        v.insert(QStringLiteral("web_password"), device.password());
    if (sip) {
        for (int a = 0; a < SipAccounts; ++a) {
            const SipAccountSettings& s = sip[a];
            v.insert(sipColumn(a, "account"), s.account);
            if (withSecrets)
                v.insert(sipColumn(a, "password"), s.password);
            v.insert(sipColumn(a, "display_name"), s.displayName);
            v.insert(sipColumn(a, "server"), s.serverHost);
            v.insert(sipColumn(a, "port"), s.serverPort);
        }
    }
    if (rtp) {
        for (int c = 0; c < RtpChannels; ++c) {
            const RtpChannelSettings channel = c < rtp->size() ? rtp->at(c) : RtpChannelSettings();
            v.insert(rtpColumn(c), channel.enable && channel.isSet() ? channel.endpointText() : QStringLiteral("off"));
        }
    }
    return v;
}

QList<ProvisioningPlan::Change> ProvisioningPlan::changes(const Row& row, const QMap<QString, QString>& current)
{
    QList<Change> list;
    for (auto it = row.values.cbegin(); it != row.values.cend(); ++it) {
        const QString& column = it.key();
        const QString planned = it.value();
        const QString now = current.value(column);
        bool same;
        if (column == QLatin1String("web_password"))
            // The device keeps the digest of the password it was given.
            same = now.compare(BatchRules::passwordDigest(planned), Qt::CaseInsensitive) == 0 || now == planned;
        else if (column == QLatin1String("ip_mode") || column.startsWith(QLatin1String("rtp")))
            same = now.compare(planned, Qt::CaseInsensitive) == 0;
        else if (column.endsWith(QLatin1String("volume")) || column == QLatin1String("auto_mute") ||
                 column.endsWith(QLatin1String("_port")))
            same = now.toInt() == planned.toInt() && !now.isEmpty();
        else
            same = now == planned;
        if (!same)
            list << Change{column, now, planned};
    }
    return list;
}

bool ProvisioningPlan::touchesSip(const Row& row)
{
    for (auto it = row.values.cbegin(); it != row.values.cend(); ++it)
        if (it.key().startsWith(QLatin1String("sip")))
            return true;
    return false;
}

bool ProvisioningPlan::touchesRtp(const Row& row)
{
    for (auto it = row.values.cbegin(); it != row.values.cend(); ++it)
        if (it.key().startsWith(QLatin1String("rtp")))
            return true;
    return false;
}

QStringList ProvisioningPlan::exportColumns(bool full, bool secrets)
{
    QStringList columns = QStringList{QStringLiteral("mac")} + readOnlyColumns();
    for (const QString& c : settableColumns()) {
        if ((!full && (c.startsWith(QLatin1String("sip")) || c.startsWith(QLatin1String("rtp")))) ||
            (!secrets && isSecret(c)))
            continue;
        columns << c;
    }
    return columns;
}

QJsonValue ProvisioningPlan::typedValue(const QString& column, const QString& value)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (ok && (column.endsWith(QLatin1String("volume")) || column == QLatin1String("auto_mute") ||
               column.endsWith(QLatin1String("_port"))))
        return n;
    return value;
}

QByteArray ProvisioningPlan::toJson(const QStringList& columns, const QList<QMap<QString, QString>>& devices)
{
    QJsonArray array;
    for (const auto& d : devices) {
        QJsonObject o;
        for (const QString& c : columns)
            if (d.contains(c))
                o.insert(c, typedValue(c, d.value(c)));
        array.append(o);
    }
    QJsonObject top;
    top.insert(QStringLiteral("version"), FormatVersion);
    top.insert(QStringLiteral("devices"), array);
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

QByteArray ProvisioningPlan::toCsv(const QStringList& columns, const QList<QMap<QString, QString>>& devices)
{
    QStringList lines;
    QStringList header;
    for (const QString& c : columns)
        header << csvField(c);
    lines << header.join(QLatin1Char(','));
    for (const auto& d : devices) {
        QStringList cells;
        for (const QString& c : columns)
            cells << csvField(d.value(c));
        lines << cells.join(QLatin1Char(','));
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace orvane
