#include "CliDeviceCommands.h"

#include "CliContext.h"
#include "AdapterList.h"
#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "ProtocolClient.h"
#include "BatchRules.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"
#include "AppConfig.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <algorithm>

namespace {

const QStringList DeviceCommands = {
    QStringLiteral("set-ip"),  QStringLiteral("set-name"), QStringLiteral("set-mac"), QStringLiteral("set-account"),
    QStringLiteral("reset"),   QStringLiteral("reboot"),   QStringLiteral("volume"),  QStringLiteral("play"),
    QStringLiteral("sip-get"), QStringLiteral("sip-set"),  QStringLiteral("rtp-get"), QStringLiteral("rtp-set")};


bool parse(QCommandLineParser& p, const QString& command, const QStringList& args, CliContext& ctx, int* status)
{
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!p.parse(QStringList{QStringLiteral("orvane-cli ") + command} + args)) {
        *status = ctx.fail(CliUsage, p.errorText());
        return false;
    }
    return true;
}

bool readCommon(QCommandLineParser& p, CliContext& ctx, int* timeout, CliFormat* format, int* status)
{
    *timeout = DeviceSearch::TimeoutMs;
    if (p.isSet(QStringLiteral("timeout"))) {
        bool ok = false;
        *timeout = p.value(QStringLiteral("timeout")).toInt(&ok);
        if (!ok || *timeout < 0) {
            *status = ctx.fail(CliUsage, QStringLiteral("--timeout needs a number of milliseconds"));
            return false;
        }
    }
    *format = CliFormat::Table;
    if (p.isSet(QStringLiteral("format")) && !CliContext::parseFormat(p.value(QStringLiteral("format")), format)) {
        *status = ctx.fail(CliUsage, QStringLiteral("--format must be table, json or csv"));
        return false;
    }
    return true;
}

QString outcomeText(ProtocolClient::Outcome outcome)
{
    switch (outcome) {
    case ProtocolClient::Outcome::Success:
        return QStringLiteral("ok");
    case ProtocolClient::Outcome::Failed:
        return QStringLiteral("failed");
    case ProtocolClient::Outcome::NotSent:
        return QStringLiteral("not sent");
    case ProtocolClient::Outcome::Cancelled:
    case ProtocolClient::Outcome::NoAnswer:
        break;
    }
    return QStringLiteral("no answer");
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

bool cliIsDeviceCommand(const QString& command)
{
    return DeviceCommands.contains(command);
}

QString cliDeviceCommandsHelp()
{
    return QStringLiteral(
        "  (--device accepts several MACs, repeated or separated by commas; --all takes every device found;\n"
        "   devices are handled one after another in MAC order, each reported on its own line)\n"
        "  set-ip --device MAC (--dhcp | --ip A --gateway G --netmask M [--dns1 D] [--dns2 D])\n"
        "  set-name --device MAC NAME\n"
        "  set-mac --device MAC NEWMAC\n"
        "  set-account --device MAC ACCOUNT PASSWORD   (the password goes out as its MD5 digest)\n"
        "  reset | reboot | play --device MAC\n"
        "  volume --device MAC [--mic 0-100] [--out 0-100] [--auto-mute 0|1]\n"
        "  sip-get --device MAC\n"
        "  sip-set --device MAC [--account1 A] [--password1 P] [--display-name1 N] [--server-host1 H]\n"
        "          [--server-port1 P] [... the same with 2]   (fields not given keep the device's values)\n"
        "  rtp-get --device MAC\n"
        "  rtp-set --device MAC [--channel N=ADDRESS[:PORT]]... [--clear N]...   (N from 1 to 10)\n");
}

int cliAdapters(const QStringList& args, QTextStream& out, QTextStream& err)
{
    CliContext ctx(out, err);
    QCommandLineParser p;
    p.addOption(CliContext::option(QStringLiteral("format"), QStringLiteral("table, json or csv."), QStringLiteral("FORMAT")));
    int status = CliOk;
    if (!parse(p, QStringLiteral("adapters"), args, ctx, &status))
        return status;
    if (!p.positionalArguments().isEmpty())
        return ctx.fail(CliUsage, QStringLiteral("adapters takes no arguments"));
    CliFormat format = CliFormat::Table;
    if (p.isSet(QStringLiteral("format")) && !CliContext::parseFormat(p.value(QStringLiteral("format")), &format))
        return ctx.fail(CliUsage, QStringLiteral("--format must be table, json or csv"));

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
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
    else if (format == CliFormat::Csv)
        cliPrintCsv(out, header, rows);
    else
        cliPrintTable(out, header, rows);
    return list->isEmpty() ? ctx.fail(CliUsage, QStringLiteral("no Ethernet adapter found")) : CliOk;
}

int cliSearch(const QStringList& args, QTextStream& out, QTextStream& err)
{
    CliContext ctx(out, err);
    QCommandLineParser p;
    CliContext::addCommonOptions(p);
    p.addOption(CliContext::option(QStringLiteral("alarm-test"), QStringLiteral("Ask the devices for their alarm test.")));
    int status = CliOk;
    int timeout = 0;
    CliFormat format = CliFormat::Table;
    if (!parse(p, QStringLiteral("search"), args, ctx, &status) || !readCommon(p, ctx, &timeout, &format, &status))
        return status;
    if (!p.positionalArguments().isEmpty())
        return ctx.fail(CliUsage, QStringLiteral("search takes no arguments"));
    if (!ctx.openAdapter(p.value(QStringLiteral("adapter"))))
        return ctx.openFailure();
    ctx.search(timeout, p.isSet(QStringLiteral("alarm-test")), p.isSet(QStringLiteral("any-model")));

    const QStringList header{QStringLiteral("mac"),     QStringLiteral("ip"),      QStringLiteral("name"),
                             QStringLiteral("type"),    QStringLiteral("version"), QStringLiteral("uid"),
                             QStringLiteral("sn"),      QStringLiteral("ipMode"),  QStringLiteral("netmask"),
                             QStringLiteral("gateway"), QStringLiteral("dns1"),    QStringLiteral("dns2")};
    QList<QStringList> rows;
    QJsonArray array;
    for (const DeviceRecord* d : ctx.devices()) {
        rows << QStringList{d->mac(), d->ip(),     d->name(),    d->type(),    d->version(), d->uid(),
                            d->sn(),  d->ipMode(), d->netmask(), d->gateway(), d->dns1(),    d->dns2()};
        array.append(CliContext::deviceJson(d));
    }
    if (format == CliFormat::Json)
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
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
    QMap<int, RtpChannelSettings> channelChanges;
    const QCommandLineParser* parser = nullptr;
};

struct Result
{
    int code = -1;
    QList<QPair<QString, QString>> values; // what a Get command read
};

// One operation on one device; name and mac are this device's own values of a batch.
Result runOne(ProtocolClient& sdk, DeviceRecord* device, const Request& r, const QString& ip, const QString& mac)
{
    const QString& command = r.command;
    const QCommandLineParser& p = *r.parser;
    Result result;
    if (command == QLatin1String("set-ip")) {
        result.code = r.addresses.isEmpty()
                          ? sdk.setIpDhcp(device)
                          : sdk.setIpStatic(device, ip, r.addresses.at(1), r.addresses.at(2), r.addresses.at(3),
                                            r.addresses.at(4));
    } else if (command == QLatin1String("set-name")) {
        result.code = sdk.setName(device, r.positional.first());
    } else if (command == QLatin1String("set-mac")) {
        result.code = sdk.setMac(device, mac);
    } else if (command == QLatin1String("set-account")) {
        result.code = sdk.setAccountPassword(device, r.positional.first(),
                                             BatchRules::passwordDigest(r.positional.at(1)));
    } else if (command == QLatin1String("reset")) {
        result.code = sdk.resetDefault(device);
    } else if (command == QLatin1String("reboot")) {
        result.code = sdk.reboot(device);
    } else if (command == QLatin1String("play")) {
        result.code = sdk.playVolume(device);
    } else if (command == QLatin1String("volume")) {
        // Values not given keep what the device reported in its search reply.
        result.code = sdk.setDeviceVolume(device, r.mic >= 0 ? r.mic : device->intValue(QStringLiteral("micVolume")),
                                          r.outVolume >= 0 ? r.outVolume : device->intValue(QStringLiteral("outVolume")),
                                          r.autoMute >= 0 ? r.autoMute : device->autoMute());
    } else if (command == QLatin1String("sip-get") || command == QLatin1String("sip-set")) {
        SipAccountSettings sip[2];
        result.code = sdk.getSipSettings(device, sip[0], sip[1]);
        if (result.code == 0 && command == QLatin1String("sip-set")) {
            // Fields not given keep the device's own values, so nothing is lost.
            for (int i = 0; i < 2; ++i) {
                const QString n = QString::number(i + 1);
                auto take = [&](const char* field, QString& target) {
                    if (p.isSet(QString::fromLatin1(field) + n))
                        target = p.value(QString::fromLatin1(field) + n);
                };
                take("account", sip[i].account);
                take("password", sip[i].password);
                take("display-name", sip[i].displayName);
                take("server-host", sip[i].serverHost);
                take("server-port", sip[i].serverPort);
            }
            result.code = sdk.setSipSettings(device, sip[0], sip[1]);
        }
        if (result.code == 0 && command == QLatin1String("sip-get")) {
            for (int i = 0; i < 2; ++i) {
                const QString n = QString::number(i + 1);
                result.values << qMakePair(QStringLiteral("account") + n, sip[i].account)
                              << qMakePair(QStringLiteral("password") + n, sip[i].password)
                              << qMakePair(QStringLiteral("display-name") + n, sip[i].displayName)
                              << qMakePair(QStringLiteral("server-host") + n, sip[i].serverHost)
                              << qMakePair(QStringLiteral("server-port") + n, sip[i].serverPort);
            }
        }
    } else if (command == QLatin1String("rtp-get") || command == QLatin1String("rtp-set")) {
        QList<RtpChannelSettings> channels;
        for (int i = 0; i < ProtocolClient::RtpChannelCount; ++i)
            channels << RtpChannelSettings();
        result.code = sdk.getRtpSettings(device, channels);
        if (result.code == 0 && command == QLatin1String("rtp-set")) {
            for (auto it = r.channelChanges.cbegin(); it != r.channelChanges.cend(); ++it)
                channels[it.key()] = it.value();
            result.code = sdk.setRtpSettings(device, channels);
        }
        if (result.code == 0 && command == QLatin1String("rtp-get")) {
            for (int i = 0; i < channels.size(); ++i) {
                const RtpChannelSettings& c = channels.at(i);
                QString text = c.rtpIP;
                if (!c.rtpIP.isEmpty() && c.rtpPort != 0)
                    text = QStringLiteral("%1:%2").arg(c.rtpIP).arg(c.rtpPort);
                result.values << qMakePair(QStringLiteral("channel%1").arg(i + 1), text);
            }
        }
    }
    return result;
}

} // namespace

int cliDeviceCommand(const QString& command, const QStringList& args, QTextStream& out, QTextStream& err)
{
    CliContext ctx(out, err);
    QCommandLineParser p;
    CliContext::addCommonOptions(p);
    CliContext::addTargetOptions(p);
    if (command == QLatin1String("set-ip")) {
        p.addOption(CliContext::option(QStringLiteral("dhcp"), QStringLiteral("Switch to DHCP.")));
        for (const char* name : {"ip", "gateway", "netmask", "dns1", "dns2"})
            p.addOption(CliContext::option(QString::fromLatin1(name), QStringLiteral("Address."), QStringLiteral("ADDRESS")));
    } else if (command == QLatin1String("volume")) {
        p.addOption(CliContext::option(QStringLiteral("mic"), QStringLiteral("Input volume."), QStringLiteral("N")));
        p.addOption(CliContext::option(QStringLiteral("out"), QStringLiteral("Output volume."), QStringLiteral("N")));
        p.addOption(CliContext::option(QStringLiteral("auto-mute"), QStringLiteral("0 or 1."), QStringLiteral("N")));
    } else if (command == QLatin1String("sip-set")) {
        for (const QString& n : {QStringLiteral("1"), QStringLiteral("2")}) {
            for (const char* field : {"account", "password", "display-name", "server-host", "server-port"})
                p.addOption(CliContext::option(QString::fromLatin1(field) + n, QStringLiteral("SIP field."), QStringLiteral("TEXT")));
        }
    } else if (command == QLatin1String("rtp-set")) {
        p.addOption(CliContext::option(QStringLiteral("channel"), QStringLiteral("N=ADDRESS[:PORT]"), QStringLiteral("N=ADDRESS")));
        p.addOption(CliContext::option(QStringLiteral("clear"), QStringLiteral("Channel to clear."), QStringLiteral("N")));
    }
    int status = CliOk;
    int timeout = 0;
    CliFormat format = CliFormat::Table;
    if (!parse(p, command, args, ctx, &status) || !readCommon(p, ctx, &timeout, &format, &status))
        return status;
    if (format == CliFormat::Csv)
        format = CliFormat::Table;

    Request request;
    request.command = command;
    request.parser = &p;
    request.positional = p.positionalArguments();
    const QStringList wanted = CliContext::wantedMacs(p);
    const bool all = p.isSet(QStringLiteral("all"));
    if (wanted.isEmpty() == !all)
        return ctx.fail(CliUsage, QStringLiteral("%1 needs --device MAC... or --all").arg(command));

    // Everything the operator typed is checked before anything is sent.
    int wantedArgs = 0;
    if (command == QLatin1String("set-name") || command == QLatin1String("set-mac"))
        wantedArgs = 1;
    else if (command == QLatin1String("set-account"))
        wantedArgs = 2;
    if (request.positional.size() != wantedArgs)
        return ctx.fail(CliUsage, QStringLiteral("%1 takes %2 argument(s)").arg(command).arg(wantedArgs));
    if (wantedArgs > 0 && request.positional.first().isEmpty())
        return ctx.fail(CliUsage, QStringLiteral("%1 needs a non-empty value").arg(command));
    if (command == QLatin1String("set-account") && request.positional.at(1).isEmpty())
        return ctx.fail(CliUsage, QStringLiteral("set-account needs a non-empty password"));

    if (command == QLatin1String("set-ip")) {
        const bool dhcp = p.isSet(QStringLiteral("dhcp"));
        if (dhcp == p.isSet(QStringLiteral("ip")))
            return ctx.fail(CliUsage, QStringLiteral("set-ip needs either --dhcp or --ip"));
        if (!dhcp) {
            for (const char* name : {"ip", "gateway", "netmask", "dns1", "dns2"}) {
                const QString value = p.value(QString::fromLatin1(name));
                const bool optional = qstrcmp(name, "dns1") == 0 || qstrcmp(name, "dns2") == 0;
                if ((!optional || !value.isEmpty()) && !BatchRules::isValidAddress(value))
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
    if (command == QLatin1String("rtp-set")) {
        for (const QString& channelText : p.values(QStringLiteral("channel"))) {
            const int eq = channelText.indexOf(QLatin1Char('='));
            int n = 0;
            if (eq < 0 || !parseInt(channelText.left(eq), 1, ProtocolClient::RtpChannelCount, &n))
                return ctx.fail(CliUsage, QStringLiteral("--channel needs N=ADDRESS[:PORT] with N from 1 to 10"));
            request.channelChanges.insert(n - 1, RtpChannelSettings::fromEndpointText(channelText.mid(eq + 1)));
        }
        for (const QString& text : p.values(QStringLiteral("clear"))) {
            int n = 0;
            if (!parseInt(text, 1, ProtocolClient::RtpChannelCount, &n))
                return ctx.fail(CliUsage, QStringLiteral("--clear needs a channel from 1 to 10"));
            RtpChannelSettings cleared;
            cleared.enable = 1;
            request.channelChanges.insert(n - 1, cleared);
        }
        if (request.channelChanges.isEmpty())
            return ctx.fail(CliUsage, QStringLiteral("rtp-set needs --channel or --clear"));
    }

    if (!ctx.openAdapter(p.value(QStringLiteral("adapter"))))
        return ctx.openFailure();
    ctx.search(timeout, false, p.isSet(QStringLiteral("any-model")));
    // The targets in MAC order; an unknown MAC stops the whole batch before anything is sent.
    QList<DeviceRecord*> targets;
    if (!ctx.resolveTargets(wanted, all, &targets))
        return CliUsage;

    // A batch gives consecutive addresses and successive MACs, exactly as the pages do;
    // a single device gets the MAC as typed.
    QString ip = request.addresses.value(0);
    QString mac = request.positional.value(0);
    if (command == QLatin1String("set-mac") && targets.size() > 1) {
        mac = mac.toLower();
        if (mac.size() > BatchRules::MaxMacTextLength)
            return ctx.fail(CliUsage, QStringLiteral("a MAC text of over %1 characters cannot be counted up")
                                          .arg(BatchRules::MaxMacTextLength));
    }

    int failures = 0;
    for (DeviceRecord* device : targets) {
        const Result result = runOne(ctx.sdk(), device, request, ip, mac);
        const QString outcome = result.code == 0 ? QStringLiteral("ok") : outcomeText(ctx.sdk().lastOutcome());
        if (format == CliFormat::Json) {
            QJsonObject o;
            o.insert(QStringLiteral("device"), device->mac());
            o.insert(QStringLiteral("command"), command);
            o.insert(QStringLiteral("outcome"), outcome);
            if (command == QLatin1String("set-ip") && !request.addresses.isEmpty())
                o.insert(QStringLiteral("ip"), ip);
            if (command == QLatin1String("set-mac"))
                o.insert(QStringLiteral("mac"), mac);
            if (!result.values.isEmpty()) {
                QJsonObject v;
                for (const auto& kv : result.values)
                    v.insert(kv.first, kv.second);
                o.insert(QStringLiteral("values"), v);
            }
            out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
        } else {
            QString line = device->mac() + QLatin1String("  ") + command;
            if (command == QLatin1String("set-ip") && !request.addresses.isEmpty())
                line += QLatin1String("  ") + ip;
            if (command == QLatin1String("set-mac"))
                line += QLatin1String("  ") + mac;
            out << line << "  " << outcome << "\n";
            for (const auto& kv : result.values)
                out << "  " << kv.first << " = " << kv.second << "\n";
        }
        out.flush();
        if (result.code != 0) {
            ++failures;
            err << "orvane-cli: " << command << " on " << device->mac() << ": " << outcome << "\n";
            err.flush();
        }
        // The sequence goes on whatever this device answered, as on the pages.
        if (!ip.isEmpty())
            ip = BatchRules::nextAddress(ip);
        if (command == QLatin1String("set-mac") && targets.size() > 1)
            mac = BatchRules::macSuccessor(mac);
    }
    return failures ? CliDeviceFailed : CliOk;
}
