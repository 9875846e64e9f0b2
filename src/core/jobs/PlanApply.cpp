#include "PlanApply.h"

#include "AddressConflicts.h"
#include "BatchRules.h"
#include "DeviceRecord.h"
#include "ProtocolClient.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"

#include <QSet>

namespace orvane {

namespace {

QString why(ProtocolClient& client)
{
    switch (client.lastOutcome()) {
    case ProtocolClient::Outcome::Success:
        return QString();
    case ProtocolClient::Outcome::Failed:
        return QStringLiteral("the device refused it");
    case ProtocolClient::Outcome::NotSent:
        return QStringLiteral("not sent: the values do not fit a command");
    case ProtocolClient::Outcome::Cancelled:
        return QStringLiteral("cancelled");
    case ProtocolClient::Outcome::NoAnswer:
        break;
    }
    return QStringLiteral("no answer");
}

bool touches(const QList<ProvisioningPlan::Change>& changes, const QStringList& columns)
{
    for (const ProvisioningPlan::Change& c : changes)
        for (const QString& column : columns)
            if (c.column == column || (column.endsWith(QLatin1Char('*')) && c.column.startsWith(column.chopped(1))))
                return true;
    return false;
}

} // namespace

PlanApply::PlanApply(ProtocolClient& client, const ProvisioningPlan& plan, const QList<DeviceRecord*>& found)
    : m_client(client), m_plan(plan), m_found(found)
{
}

QString PlanApply::outcomeWord(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Changed:
        return QStringLiteral("changed");
    case Outcome::Unchanged:
        return QStringLiteral("unchanged");
    case Outcome::Failed:
        return QStringLiteral("failed");
    case Outcome::Missing:
        break;
    }
    return QStringLiteral("missing");
}

DeviceRecord* PlanApply::deviceFor(const ProvisioningPlan::Row& row) const
{
    const QString key = BatchRules::macKey(row.mac);
    for (DeviceRecord* d : m_found)
        if (BatchRules::macKey(d->mac()) == key)
            return d;
    return nullptr;
}

const ProvisioningPlan::Row* PlanApply::rowFor(const DeviceRecord* device) const
{
    const QString key = BatchRules::macKey(device->mac());
    for (const ProvisioningPlan::Row& row : m_plan.rows())
        if (BatchRules::macKey(row.mac) == key)
            return &row;
    return nullptr;
}

QString PlanApply::effective(const ProvisioningPlan::Row& row, const QMap<QString, QString>& current,
                             const QString& column)
{
    return row.values.contains(column) ? row.values.value(column) : current.value(column);
}

QStringList PlanApply::check()
{
    QStringList errors;
    QSet<QString> planned;
    for (const ProvisioningPlan::Row& row : m_plan.rows())
        planned.insert(BatchRules::macKey(row.mac));
    QList<BatchRules::Holder> outside;
    for (DeviceRecord* d : m_found)
        if (!planned.contains(BatchRules::macKey(d->mac())))
            outside.append({d->mac(), d->ip(), d->name()});

    QMap<QString, int> addressRow;
    QList<BatchRules::Planned> probe;
    for (const ProvisioningPlan::Row& row : m_plan.rows()) {
        DeviceRecord* device = deviceFor(row);
        if (!device)
            continue;
        const QMap<QString, QString> current = ProvisioningPlan::currentValues(*device, nullptr, nullptr, false);
        if (effective(row, current, QStringLiteral("ip_mode")) != QLatin1String("static"))
            continue;
        const QString ip = effective(row, current, QStringLiteral("ip"));
        // Settings the plan leaves alone stay as the device has them, however
        // odd: a plan that only renames a device must not be refused for them.
        bool touchesAddress = false;
        for (const char* column : {"ip_mode", "ip", "netmask", "gateway"})
            touchesAddress = touchesAddress || row.values.contains(QLatin1String(column));
        const QString why = !touchesAddress ? QString()
                                            : BatchRules::checkStaticAddress(
                                                  ip, effective(row, current, QStringLiteral("netmask")),
                                                  effective(row, current, QStringLiteral("gateway")));
        if (!why.isEmpty()) {
            errors << QStringLiteral("row %1 (%2): %3").arg(row.line).arg(row.mac, why);
            continue;
        }
        if (addressRow.contains(ip)) {
            errors << QStringLiteral("row %1 (%2): %3 is also planned in row %4").arg(row.line).arg(row.mac, ip).arg(addressRow.value(ip));
            continue;
        }
        addressRow.insert(ip, row.line);
        for (const QString& line : BatchRules::listedConflicts({{row.mac, ip}}, outside))
            errors << QStringLiteral("row %1: %2").arg(row.line).arg(line);
        if (ip != current.value(QStringLiteral("ip")))
            probe.append({row.mac, ip});
    }
    if (errors.isEmpty() && !probe.isEmpty()) {
        const AddressConflicts found = AddressConflicts::find(m_client, probe, {});
        for (const QString& line : found.lines)
            errors << line;
    }
    return errors;
}

QList<PlanApply::Result> PlanApply::run(bool checkOnly, const std::function<void(int, int)>& progress)
{
    QList<Result> results;
    const QList<ProvisioningPlan::Row>& rows = m_plan.rows();
    for (int i = 0; i < rows.size(); ++i) {
        DeviceRecord* device = deviceFor(rows.at(i));
        if (device) {
            results << applyTo(rows.at(i), device, checkOnly);
        } else {
            Result r;
            r.mac = rows.at(i).mac;
            r.outcome = Outcome::Missing;
            r.detail = QStringLiteral("not found by the search");
            results << r;
        }
        if (progress)
            progress(i + 1, rows.size());
    }
    return results;
}

PlanApply::Result PlanApply::applyTo(const ProvisioningPlan::Row& row, DeviceRecord* device, bool checkOnly)
{
    Result r;
    r.mac = device->mac();
    r.name = device->name();
    SipAccountSettings sip[ProvisioningPlan::SipAccounts];
    // getRtpSettings fills the channels it is given.
    QList<RtpChannelSettings> rtp;
    for (int c = 0; c < ProvisioningPlan::RtpChannels; ++c)
        rtp << RtpChannelSettings();
    const bool needSip = ProvisioningPlan::touchesSip(row);
    const bool needRtp = ProvisioningPlan::touchesRtp(row);
    QStringList done; // steps the device has already taken, for a failure's detail
    auto fail = [&](const QString& step) {
        r.outcome = Outcome::Failed;
        r.detail = QStringLiteral("%1: %2").arg(step, why(m_client));
        if (!done.isEmpty())
            r.detail += QStringLiteral(" (already set: %1)").arg(done.join(QStringLiteral(", ")));
        return r;
    };
    if (needSip && m_client.getSipSettings(device, sip[0], sip[1]) != 0)
        return fail(QStringLiteral("reading the SIP accounts"));
    if (needRtp && m_client.getRtpSettings(device, rtp) != 0)
        return fail(QStringLiteral("reading the RTP channels"));
    const QMap<QString, QString> current =
        ProvisioningPlan::currentValues(*device, needSip ? sip : nullptr, needRtp ? &rtp : nullptr, true);
    r.changes = ProvisioningPlan::changes(row, current);
    if (r.changes.isEmpty())
        return r;
    r.outcome = Outcome::Changed;
    QStringList columns;
    for (const ProvisioningPlan::Change& c : r.changes)
        columns << c.column;
    r.detail = columns.join(QStringLiteral(", "));
    if (checkOnly)
        return r;

    auto value = [&](const QString& column) { return effective(row, current, column); };
    if (touches(r.changes, {QStringLiteral("name")})) {
        if (m_client.setName(device, value(QStringLiteral("name"))) != 0)
            return fail(QStringLiteral("name"));
        device->setName(value(QStringLiteral("name")));
        done << QStringLiteral("name");
    }
    if (touches(r.changes, {QStringLiteral("mic_volume"), QStringLiteral("out_volume"), QStringLiteral("auto_mute")})) {
        if (m_client.setDeviceVolume(device, value(QStringLiteral("mic_volume")).toInt(),
                                     value(QStringLiteral("out_volume")).toInt(),
                                     value(QStringLiteral("auto_mute")).toInt()) != 0)
            return fail(QStringLiteral("volumes"));
        device->setIntValue(QStringLiteral("micVolume"), value(QStringLiteral("mic_volume")).toInt());
        device->setIntValue(QStringLiteral("outVolume"), value(QStringLiteral("out_volume")).toInt());
        device->setIntValue(QStringLiteral("autoMute"), value(QStringLiteral("auto_mute")).toInt());
        done << QStringLiteral("volumes");
    }
    if (touches(r.changes, {QStringLiteral("web_account"), QStringLiteral("web_password")})) {
        // A planned password goes out as the digest the device keeps. Without
        // one, or with the very value the device holds (an export taken with
        // its secrets), what it has stays: a digest of that would lock the
        // operator out.
        const QString held = current.value(QStringLiteral("web_password"));
        const QString planned = row.values.value(QStringLiteral("web_password"), held);
        const QString password = planned == held ? held : BatchRules::passwordDigest(planned);
        if (m_client.setAccountPassword(device, value(QStringLiteral("web_account")), password) != 0)
            return fail(QStringLiteral("web account"));
        device->setAccount(value(QStringLiteral("web_account")));
        device->setPassword(password);
        done << QStringLiteral("web account");
    }
    if (touches(r.changes, {QStringLiteral("sip*")})) {
        for (int a = 0; a < ProvisioningPlan::SipAccounts; ++a) {
            const QString prefix = QStringLiteral("sip%1_").arg(a + 1);
            sip[a].account = value(prefix + QStringLiteral("account"));
            sip[a].password = value(prefix + QStringLiteral("password"));
            sip[a].displayName = value(prefix + QStringLiteral("display_name"));
            sip[a].serverHost = value(prefix + QStringLiteral("server"));
            sip[a].serverPort = value(prefix + QStringLiteral("port"));
        }
        if (m_client.setSipSettings(device, sip[0], sip[1]) != 0)
            return fail(QStringLiteral("SIP accounts"));
        done << QStringLiteral("SIP accounts");
    }
    if (touches(r.changes, {QStringLiteral("rtp*")})) {
        for (int c = 0; c < ProvisioningPlan::RtpChannels; ++c) {
            const QString planned = row.values.value(QStringLiteral("rtp%1").arg(c + 1));
            if (planned.isEmpty())
                continue;
            rtp[c] = planned.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0
                         ? RtpChannelSettings()
                         : RtpChannelSettings::fromEndpointText(planned);
        }
        if (m_client.setRtpSettings(device, rtp) != 0)
            return fail(QStringLiteral("RTP channels"));
        done << QStringLiteral("RTP channels");
    }
    // The address last: the commands travel by MAC, but a technician reading
    // the log sees the device under its old address until the end.
    if (touches(r.changes, {QStringLiteral("ip_mode"), QStringLiteral("ip"), QStringLiteral("netmask"),
                            QStringLiteral("gateway"), QStringLiteral("dns1"), QStringLiteral("dns2")})) {
        const int code = value(QStringLiteral("ip_mode")) == QLatin1String("dhcp")
                             ? m_client.setIpDhcp(device)
                             : m_client.setIpStatic(device, value(QStringLiteral("ip")), value(QStringLiteral("gateway")),
                                                    value(QStringLiteral("netmask")), value(QStringLiteral("dns1")),
                                                    value(QStringLiteral("dns2")));
        if (code != 0)
            return fail(QStringLiteral("address"));
        // The binary address commands go to stays until the next search, as after the IP page.
        if (value(QStringLiteral("ip_mode")) == QLatin1String("static")) {
            device->setIp(value(QStringLiteral("ip")));
            device->setNetmask(value(QStringLiteral("netmask")));
            device->setGateway(value(QStringLiteral("gateway")));
            device->setDns1(value(QStringLiteral("dns1")));
            device->setDns2(value(QStringLiteral("dns2")));
        }
    }
    return r;
}

} // namespace orvane
