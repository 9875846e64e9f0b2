#include "CliDeviceCommands.h"

#include "CliContext.h"
#include "AddressConflicts.h"
#include "AdapterList.h"
#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "ProtocolClient.h"
#include "BatchRules.h"
#include "DeviceJob.h"
#include "DeviceTasks.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"
#include "AppConfig.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <algorithm>
#include <memory>

namespace orvane {

namespace {

bool readFormat(QCommandLineParser& p, CliContext& ctx, CliFormat* format, int* status)
{
    *format = CliFormat::Table;
    if (!p.isSet(QStringLiteral("format")) || CliContext::parseFormat(p.value(QStringLiteral("format")), format))
        return true;
    *status = ctx.fail(CliUsage, QStringLiteral("--format must be table, json or csv"));
    return false;
}

// The fixed words of the JSON output, one per way a device can end.
QString outcomeWord(DeviceResult::Outcome outcome)
{
    switch (outcome) {
    case DeviceResult::Outcome::Success:
        return QStringLiteral("ok");
    case DeviceResult::Outcome::NoAnswer:
        return QStringLiteral("no-answer");
    case DeviceResult::Outcome::NotSent:
    case DeviceResult::Outcome::Cancelled:
        return QStringLiteral("not-sent");
    case DeviceResult::Outcome::Failed:
        break;
    }
    return QStringLiteral("failed");
}

bool parseInt(const QString& text, int low, int high, int* value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    *value = v;
    return true;
}

} // namespace

int cliAdapters(const QStringList& args, QTextStream& out, QTextStream& err)
{
    CliContext ctx(QStringLiteral("adapters"), out, err);
    QCommandLineParser p;
    p.addOption(CliContext::option(QStringLiteral("format"), QStringLiteral("FORMAT")));
    int status = CliOk;
    CliFormat format = CliFormat::Table;
    if (!ctx.parse(p, args, &status) || !readFormat(p, ctx, &format, &status))
        return status;
    if (!p.positionalArguments().isEmpty())
        return ctx.fail(CliUsage, QStringLiteral("adapters takes no arguments"));

    const auto list = AdapterList::listAdapters();
    const int chosen = list->chooseIndex(AppConfig().network());
    const QStringList header{QStringLiteral("chosen"), QStringLiteral("name"), QStringLiteral("description"),
                             QStringLiteral("mac"), QStringLiteral("ipv4")};
    QList<QStringList> rows;
    QJsonArray array;
    for (int i = 0; i < list->size(); ++i) {
        const Adapter* a = list->at(i);
        const QString mac = QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", a->address[0], a->address[1],
                                              a->address[2], a->address[3], a->address[4], a->address[5]);
        rows << QStringList{i == chosen ? QStringLiteral("*") : QString(), QString::fromUtf8(a->pcapName),
                            QString::fromUtf8(a->description), mac, AdapterList::dotted(a->ip)};
        QJsonObject o;
        o.insert(QStringLiteral("name"), QString::fromUtf8(a->pcapName));
        o.insert(QStringLiteral("description"), QString::fromUtf8(a->description));
        o.insert(QStringLiteral("mac"), mac);
        o.insert(QStringLiteral("ipv4"), AdapterList::dotted(a->ip));
        o.insert(QStringLiteral("chosen"), i == chosen);
        array.append(o);
    }
    if (format == CliFormat::Json)
        out << QJsonDocument(QJsonObject{{QStringLiteral("version"), CliContext::JsonVersion},
                                         {QStringLiteral("command"), QStringLiteral("adapters")},
                                         {QStringLiteral("adapters"), array}})
                   .toJson(QJsonDocument::Indented);
    else if (format == CliFormat::Csv)
        cliPrintCsv(out, header, rows);
    else
        cliPrintTable(out, header, rows);
    return list->isEmpty() ? ctx.fail(CliUsage, QStringLiteral("no Ethernet adapter found")) : CliOk;
}

int cliSearch(const QStringList& args, QTextStream& out, QTextStream& err)
{
    CliContext ctx(QStringLiteral("search"), out, err);
    QCommandLineParser p;
    CliContext::addCommonOptions(p);
    p.addOption(CliContext::option(QStringLiteral("alarm-test")));
    int status = CliOk;
    int timeout = 0;
    CliFormat format = CliFormat::Table;
    if (!ctx.parse(p, args, &status) || !ctx.readTimeout(p, &timeout, &status) ||
        !readFormat(p, ctx, &format, &status))
        return status;
    if (!p.positionalArguments().isEmpty())
        return ctx.fail(CliUsage, QStringLiteral("search takes no arguments"));
    if (!ctx.openAdapter(p.value(QStringLiteral("adapter"))))
        return ctx.openFailure();
    ctx.search(timeout, p.isSet(QStringLiteral("alarm-test")), p.isSet(QStringLiteral("any-model")));

    const QStringList header{QStringLiteral("mac"),     QStringLiteral("ip"),      QStringLiteral("name"),
                             QStringLiteral("type"),    QStringLiteral("version"), QStringLiteral("uid"),
                             QStringLiteral("sn"),      QStringLiteral("ip_mode"), QStringLiteral("netmask"),
                             QStringLiteral("gateway"), QStringLiteral("dns1"),    QStringLiteral("dns2")};
    QList<QStringList> rows;
    QJsonArray array;
    for (const DeviceRecord* d : ctx.devices()) {
        rows << QStringList{d->mac(), d->ip(),     d->name(),    d->type(),    d->version(), d->uid(),
                            d->sn(),  d->ipMode(), d->netmask(), d->gateway(), d->dns1(),    d->dns2()};
        array.append(ctx.searchJson(d));
    }
    if (format == CliFormat::Json)
        ctx.printJson(array);
    else if (format == CliFormat::Csv)
        cliPrintCsv(out, header, rows);
    else
        cliPrintTable(out, header, rows);
    return CliOk;
}

namespace {

// What the operator asked for, checked before anything is sent.
struct Request
{
    QString command;
    QStringList positional;
    QStringList addresses; // set-ip: ip, gateway, netmask, dns1, dns2; empty for DHCP
    int mic = -1;
    int outVolume = -1;
    int autoMute = -1;
    QMap<QString, QString> sipChanges; // "account1" -> value, for the fields given
    QMap<int, RtpChannelSettings> channelChanges;
    QMap<QString, QString> secrets; // sip-set: passwords read from standard input, by option name
};

using Values = QList<QPair<QString, QString>>;

// What the command does to each device: the same tasks the program's pages
// run, or one that reads first. ips and macs hold each device's value of a
// batch; what a Get command read goes into read, by device.
DeviceJob::Task taskFor(const Request& r, int count, const QList<DeviceTasks::StaticAddress>& addresses,
                        const QStringList& macs, const std::shared_ptr<QMap<int, Values>>& read)
{
    const QString& command = r.command;
    if (command == QLatin1String("set-ip"))
        return r.addresses.isEmpty() ? DeviceTasks::setDhcp() : DeviceTasks::setStaticIp(addresses);
    if (command == QLatin1String("set-name")) {
        QStringList names;
        for (int i = 0; i < count; ++i)
            names << BatchRules::numbered(r.positional.first(), i);
        return DeviceTasks::setName(names);
    }
    if (command == QLatin1String("set-mac"))
        return DeviceTasks::setMac(macs);
    if (command == QLatin1String("set-account"))
        return DeviceTasks::setWebAccount(r.positional.first(), BatchRules::passwordDigest(r.positional.at(1)));
    if (command == QLatin1String("reset"))
        return DeviceTasks::factoryReset();
    if (command == QLatin1String("reboot"))
        return DeviceTasks::reboot();
    if (command == QLatin1String("play"))
        return DeviceTasks::playTestSound();
    if (command == QLatin1String("volume")) {
        const int mic = r.mic, outVolume = r.outVolume, autoMute = r.autoMute;
        // Values not given keep what the device reported in its search reply.
        return {command, [=](ProtocolClient& client, DeviceRecord* device, int) {
                    return client.setDeviceVolume(
                        device, mic >= 0 ? mic : device->intValue(QStringLiteral("micVolume")),
                        outVolume >= 0 ? outVolume : device->intValue(QStringLiteral("outVolume")),
                        autoMute >= 0 ? autoMute : device->autoMute());
                }, {}};
    }
    if (command == QLatin1String("sip-get") || command == QLatin1String("sip-set")) {
        const bool set = command == QLatin1String("sip-set");
        const QMap<QString, QString> changes = r.sipChanges;
        return {command, [=](ProtocolClient& client, DeviceRecord* device, int index) {
                    SipAccountSettings sip[2];
                    int code = client.getSipSettings(device, sip[0], sip[1]);
                    if (code != 0)
                        return code;
                    Values values;
                    for (int i = 0; i < 2; ++i) {
                        const QString n = QString::number(i + 1);
                        // Fields not given keep the device's own values, so nothing is lost.
                        QString* fields[] = {&sip[i].account, &sip[i].password, &sip[i].displayName,
                                             &sip[i].serverHost, &sip[i].serverPort};
                        const char* names[] = {"account", "password", "display-name", "server-host", "server-port"};
                        for (int f = 0; f < 5; ++f) {
                            const QString key = QLatin1String(names[f]) + n;
                            if (set && changes.contains(key))
                                *fields[f] = f == 0 ? BatchRules::numbered(changes.value(key), index)
                                                    : changes.value(key);
                            values << qMakePair(key, *fields[f]);
                        }
                    }
                    if (set)
                        return client.setSipSettings(device, sip[0], sip[1]);
                    read->insert(index, values);
                    return code;
                }, {}};
    }
    const bool set = command == QLatin1String("rtp-set");
    const QMap<int, RtpChannelSettings> changes = r.channelChanges;
    return {command, [=](ProtocolClient& client, DeviceRecord* device, int index) {
                QList<RtpChannelSettings> channels;
                for (int i = 0; i < ProtocolClient::RtpChannelCount; ++i)
                    channels << RtpChannelSettings();
                const int code = client.getRtpSettings(device, channels);
                if (code != 0)
                    return code;
                if (set) {
                    for (auto it = changes.cbegin(); it != changes.cend(); ++it)
                        channels[it.key()] = it.value();
                    return client.setRtpSettings(device, channels);
                }
                Values values;
                for (int i = 0; i < channels.size(); ++i) {
                    const RtpChannelSettings& c = channels.at(i);
                    QString text = c.rtpIP;
                    if (!c.rtpIP.isEmpty() && c.rtpPort != 0)
                        text = QStringLiteral("%1:%2").arg(c.rtpIP).arg(c.rtpPort);
                    values << qMakePair(QStringLiteral("channel%1").arg(i + 1), text);
                }
                read->insert(index, values);
                return code;
            }, {}};
}

} // namespace

int cliDeviceCommand(const QString& command, const QStringList& args, QTextStream& out, QTextStream& err)
{
    CliContext ctx(command, out, err);
    QCommandLineParser p;
    CliContext::addCommonOptions(p);
    CliContext::addTargetOptions(p);
    if (command == QLatin1String("set-ip")) {
        p.addOption(CliContext::option(QStringLiteral("dhcp")));
        p.addOption(CliContext::option(QStringLiteral("skip-conflicts")));
        for (const char* name : {"ip", "gateway", "netmask", "dns1", "dns2"})
            p.addOption(CliContext::option(QString::fromLatin1(name), QStringLiteral("ADDRESS")));
    } else if (command == QLatin1String("volume")) {
        p.addOption(CliContext::option(QStringLiteral("mic"), QStringLiteral("N")));
        p.addOption(CliContext::option(QStringLiteral("out"), QStringLiteral("N")));
        p.addOption(CliContext::option(QStringLiteral("auto-mute"), QStringLiteral("N")));
    } else if (command == QLatin1String("sip-set")) {
        for (const QString& n : {QStringLiteral("1"), QStringLiteral("2")}) {
            for (const char* field : {"account", "password", "display-name", "server-host", "server-port"})
                p.addOption(CliContext::option(QString::fromLatin1(field) + n, QStringLiteral("TEXT")));
            p.addOption(CliContext::option(QStringLiteral("password%1-file").arg(n), QStringLiteral("FILE")));
        }
    } else if (command == QLatin1String("set-account")) {
        p.addOption(CliContext::option(QStringLiteral("password-file"), QStringLiteral("FILE")));
    } else if (command == QLatin1String("rtp-set")) {
        p.addOption(CliContext::option(QStringLiteral("channel"), QStringLiteral("N=ADDRESS")));
        p.addOption(CliContext::option(QStringLiteral("clear"), QStringLiteral("N")));
    }
    int status = CliOk;
    int timeout = 0;
    CliFormat format = CliFormat::Table;
    if (!ctx.parse(p, args, &status) || !ctx.readTimeout(p, &timeout, &status) ||
        !readFormat(p, ctx, &format, &status))
        return status;
    if (format == CliFormat::Csv)
        format = CliFormat::Table;

    Request request;
    request.command = command;
    request.positional = p.positionalArguments();
    QStringList wanted;
    if (!ctx.wantedMacs(p, &wanted))
        return CliUsage;
    const bool all = p.isSet(QStringLiteral("all"));
    if (wanted.isEmpty() == !all)
        return ctx.fail(CliUsage, QStringLiteral("%1 needs --device MAC... or --all").arg(command));

    // Everything the operator typed is checked before anything is sent.
    int wantedArgs = 0;
    if (command == QLatin1String("set-name") || command == QLatin1String("set-mac"))
        wantedArgs = 1;
    else if (command == QLatin1String("set-account"))
        wantedArgs = p.isSet(QStringLiteral("password-file")) ? 1 : 2;
    if (command == QLatin1String("set-account") && request.positional.size() == wantedArgs) {
        const bool fromFile = wantedArgs == 1;
        QString secret;
        QString error;
        if (!CliContext::readSecret(fromFile ? p.value(QStringLiteral("password-file")) : request.positional.at(1),
                                    fromFile, &secret, &error))
            return ctx.fail(CliUsage, error);
        if (fromFile)
            request.positional.append(secret);
        else
            request.positional[1] = secret;
        wantedArgs = 2;
    }
    // Standard input is read once, before the batch, however many devices follow.
    bool stdinTaken = false;
    for (const QString& name : {QStringLiteral("password1"), QStringLiteral("password2")}) {
        const QString fileOption = name + QStringLiteral("-file");
        const bool fromFile = command == QLatin1String("sip-set") && p.isSet(fileOption);
        if (command != QLatin1String("sip-set") || (p.value(name) != QLatin1String("-") && !fromFile))
            continue;
        if (fromFile && p.isSet(name))
            return ctx.fail(CliUsage, QStringLiteral("--%1 and --%2 both give the password").arg(name, fileOption));
        if (!fromFile && stdinTaken)
            return ctx.fail(CliUsage, QStringLiteral("only one password can come from standard input"));
        stdinTaken = stdinTaken || !fromFile;
        QString secret;
        QString error;
        if (!CliContext::readSecret(fromFile ? p.value(fileOption) : p.value(name), fromFile, &secret, &error))
            return ctx.fail(CliUsage, error);
        request.secrets.insert(name, secret);
    }
    if (request.positional.size() != wantedArgs)
        return ctx.fail(CliUsage, QStringLiteral("%1 takes %2 argument(s)").arg(command).arg(wantedArgs));
    if (wantedArgs > 0 && request.positional.first().isEmpty())
        return ctx.fail(CliUsage, QStringLiteral("%1 needs a non-empty value").arg(command));
    if (command == QLatin1String("set-account") && request.positional.at(1).isEmpty())
        return ctx.fail(CliUsage, QStringLiteral("set-account needs a non-empty password"));
    if (command == QLatin1String("set-mac") && !BatchRules::checkMac(request.positional.first()).isEmpty())
        return ctx.fail(CliUsage, BatchRules::checkMac(request.positional.first()));

    if (command == QLatin1String("set-ip")) {
        const bool dhcp = p.isSet(QStringLiteral("dhcp"));
        if (dhcp == p.isSet(QStringLiteral("ip")))
            return ctx.fail(CliUsage, QStringLiteral("set-ip needs either --dhcp or --ip"));
        if (!dhcp) {
            // Fields not given keep each device's own values, as sip-set does.
            for (const char* name : {"ip", "gateway", "netmask", "dns1", "dns2"}) {
                const QString value = p.value(QString::fromLatin1(name));
                const bool optional = qstrcmp(name, "ip") != 0 && !p.isSet(QString::fromLatin1(name));
                if (!optional && !BatchRules::isValidAddress(value))
                    return ctx.fail(CliUsage,
                                    QStringLiteral("--%1 is not an address: '%2'").arg(QLatin1String(name), value));
                request.addresses << value;
            }
        }
    }
    if (command == QLatin1String("volume")) {
        if ((p.isSet(QStringLiteral("mic")) && !parseInt(p.value(QStringLiteral("mic")), 0, 100, &request.mic)) ||
            (p.isSet(QStringLiteral("out")) && !parseInt(p.value(QStringLiteral("out")), 0, 100, &request.outVolume)) ||
            (p.isSet(QStringLiteral("auto-mute")) &&
             !parseInt(p.value(QStringLiteral("auto-mute")), 0, 1, &request.autoMute)))
            return ctx.fail(CliUsage, QStringLiteral("volumes are 0 to 100, --auto-mute is 0 or 1"));
        if (request.mic < 0 && request.outVolume < 0 && request.autoMute < 0)
            return ctx.fail(CliUsage, QStringLiteral("volume needs --mic, --out or --auto-mute"));
    }
    if (command == QLatin1String("sip-set")) {
        for (const QString& n : {QStringLiteral("1"), QStringLiteral("2")}) {
            for (const char* field : {"account", "password", "display-name", "server-host", "server-port"}) {
                const QString key = QLatin1String(field) + n;
                if (!p.isSet(key))
                    continue;
                if (qstrcmp(field, "server-port") == 0 && !BatchRules::isValidPort(p.value(key).toInt()))
                    return ctx.fail(CliUsage, QStringLiteral("--%1 must be a port from 1 to 65535").arg(key));
                request.sipChanges.insert(key, p.value(key));
            }
        }
        for (auto it = request.secrets.cbegin(); it != request.secrets.cend(); ++it)
            request.sipChanges.insert(it.key(), it.value());
    }
    if (command == QLatin1String("rtp-set")) {
        for (const QString& channelText : p.values(QStringLiteral("channel"))) {
            const int eq = channelText.indexOf(QLatin1Char('='));
            int n = 0;
            if (eq < 0 || !parseInt(channelText.left(eq), 1, ProtocolClient::RtpChannelCount, &n))
                return ctx.fail(CliUsage, QStringLiteral("--channel needs N=ADDRESS:PORT with N from 1 to 10"));
            const QString why = BatchRules::checkRtpEndpoint(channelText.mid(eq + 1));
            if (!why.isEmpty() || eq + 1 == channelText.size())
                return ctx.fail(CliUsage, QStringLiteral("--channel %1: %2").arg(channelText, why));
            request.channelChanges.insert(n - 1, RtpChannelSettings::fromEndpointText(channelText.mid(eq + 1)));
        }
        for (const QString& text : p.values(QStringLiteral("clear"))) {
            int n = 0;
            if (!parseInt(text, 1, ProtocolClient::RtpChannelCount, &n))
                return ctx.fail(CliUsage, QStringLiteral("--clear needs a channel from 1 to 10"));
            // A cleared channel is off: a device would otherwise listen on nothing.
            request.channelChanges.insert(n - 1, RtpChannelSettings());
        }
        if (request.channelChanges.isEmpty())
            return ctx.fail(CliUsage, QStringLiteral("rtp-set needs --channel or --clear"));
    }

    if (!ctx.openAdapter(p.value(QStringLiteral("adapter"))))
        return ctx.openFailure();
    // Addresses and MACs are checked against every device on the segment, so
    // those searches run their full time; the rest end when the named devices answered.
    const bool checksSegment = command == QLatin1String("set-mac") ||
                               (command == QLatin1String("set-ip") && !request.addresses.isEmpty());
    ctx.search(timeout, false, p.isSet(QStringLiteral("any-model")), all || checksSegment ? QStringList() : wanted);
    // The targets in MAC order; an unknown MAC stops the whole batch before anything is sent.
    QList<DeviceRecord*> targets;
    if (!ctx.resolveTargets(wanted, all, &targets))
        return CliUsage;

    // A batch gives consecutive addresses and successive MACs, exactly as the pages
    // do, and every value is checked before the first frame goes out.
    QList<BatchRules::Holder> listed;
    for (const DeviceRecord* d : ctx.devices())
        listed.append({d->mac(), d->ip(), d->name()});
    QString mac = request.positional.value(0);
    if (command == QLatin1String("set-mac") && targets.size() > 1)
        mac = mac.toLower();
    const QStringList macs = command == QLatin1String("set-mac") ? BatchRules::macSequence(mac, targets.size())
                                                                  : QStringList();
    if (command == QLatin1String("set-mac")) {
        QList<BatchRules::Planned> plan;
        for (int i = 0; i < targets.size(); ++i)
            plan.append({targets.at(i)->mac(), macs.at(i)});
        const QStringList problems = BatchRules::macPlanProblems(plan, listed);
        for (const QString& line : problems)
            ctx.fail(CliUsage, line);
        if (!problems.isEmpty())
            return ctx.fail(CliUsage, QStringLiteral("nothing was sent"));
    }
    QList<DeviceTasks::StaticAddress> addresses;
    if (command == QLatin1String("set-ip") && !request.addresses.isEmpty()) {
        auto given = [&](int field, const QString& current) {
            static const char* const names[] = {"ip", "gateway", "netmask", "dns1", "dns2"};
            return p.isSet(QString::fromLatin1(names[field])) ? request.addresses.at(field) : current;
        };
        const QString netmask = given(2, targets.first()->netmask());
        QString why;
        const QStringList ips = targets.size() == 1
                                    ? QStringList{request.addresses.at(0)}
                                    : BatchRules::consecutiveAddresses(request.addresses.at(0), netmask, targets.size(), &why);
        if (!why.isEmpty())
            return ctx.fail(CliUsage, why + QStringLiteral("; nothing was sent"));
        QList<BatchRules::Planned> plan;
        for (int i = 0; i < targets.size(); ++i) {
            const DeviceRecord* d = targets.at(i);
            const DeviceTasks::StaticAddress a{ips.at(i), given(1, d->gateway()), given(2, d->netmask()),
                                               given(3, d->dns1()), given(4, d->dns2())};
            why = BatchRules::checkStaticAddress(a.ip, a.netmask, a.gateway);
            if (!why.isEmpty())
                return ctx.fail(CliUsage, QStringLiteral("%1: %2; nothing was sent").arg(d->mac(), why));
            addresses << a;
            plan.append({d->mac(), a.ip});
        }
        const AddressConflicts conflicts = AddressConflicts::find(ctx.client(), plan, listed);
        for (const QString& line : conflicts.lines)
            ctx.fail(CliDeviceFailed, line);
        if (!conflicts.isEmpty() && !p.isSet(QStringLiteral("skip-conflicts")))
            return ctx.fail(CliDeviceFailed,
                            QStringLiteral("address conflict; nothing was sent (--skip-conflicts leaves those devices out)"));
        for (int i = targets.size() - 1; i >= 0; --i) {
            if (conflicts.devices.contains(targets.at(i)->mac())) {
                targets.removeAt(i);
                addresses.removeAt(i);
            }
        }
        if (targets.isEmpty())
            return ctx.fail(CliDeviceFailed, QStringLiteral("every device's address is taken; nothing was sent"));
    }
    QStringList ips;
    for (const DeviceTasks::StaticAddress& a : addresses)
        ips << a.ip;
    auto read = std::make_shared<QMap<int, Values>>();
    DeviceJob job(ctx.client(), taskFor(request, targets.size(), addresses, macs, read), targets);

    int failures = 0;
    QJsonArray reports;
    // The job runs here, so each device is reported as soon as it is done.
    QObject::connect(&job, &DeviceJob::deviceFinished, [&](const DeviceResult& result) {
        const QString outcome = DeviceResult::outcomeText(result.outcome);
        const Values values = read->value(result.index);
        const bool showIp = command == QLatin1String("set-ip") && !request.addresses.isEmpty();
        const bool showMac = command == QLatin1String("set-mac");
        if (format == CliFormat::Json) {
            QJsonObject o = CliContext::deviceReport(result.mac, targets.at(result.index)->name(),
                                                     outcomeWord(result.outcome), result.detail);
            if (showIp)
                o.insert(QStringLiteral("ip"), ips.at(result.index));
            if (showMac)
                o.insert(QStringLiteral("new_mac"), macs.at(result.index));
            if (!values.isEmpty()) {
                QJsonObject v;
                for (const auto& kv : values) {
                    const bool port = kv.first.startsWith(QLatin1String("server-port"));
                    v.insert(kv.first, port && kv.second.toInt() > 0 ? QJsonValue(kv.second.toInt())
                                                                     : QJsonValue(kv.second));
                }
                o.insert(QStringLiteral("values"), v);
            }
            reports.append(o);
        } else {
            QString line = result.mac + QLatin1String("  ") + command;
            if (showIp)
                line += QLatin1String("  ") + ips.at(result.index);
            if (showMac)
                line += QLatin1String("  ") + macs.at(result.index);
            out << line << "  " << outcome << "\n";
            for (const auto& kv : values)
                out << "  " << kv.first << " = " << kv.second << "\n";
            out.flush();
        }
        if (!result.succeeded()) {
            ++failures;
            ctx.fail(CliDeviceFailed, QStringLiteral("%1: %2").arg(result.mac, outcome));
        }
    });
    job.run();
    if (format == CliFormat::Json)
        ctx.printJson(reports);
    return failures ? CliDeviceFailed : CliOk;
}

} // namespace orvane
