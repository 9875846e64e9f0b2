#include "CliPlan.h"

#include "CliContext.h"
#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "PlanApply.h"
#include "ProtocolClient.h"
#include "ProvisioningPlan.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString Masked = QStringLiteral("***");

bool parseArgs(QCommandLineParser& p, const QString& command, const QStringList& args, CliContext& ctx, int* timeout,
               int* status)
{
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!p.parse(QStringList{QStringLiteral("orvane-cli ") + command} + args)) {
        *status = ctx.fail(CliUsage, p.errorText());
        return false;
    }
    *timeout = DeviceSearch::TimeoutMs;
    if (p.isSet(QStringLiteral("timeout"))) {
        bool ok = false;
        *timeout = p.value(QStringLiteral("timeout")).toInt(&ok);
        if (!ok || *timeout < 0) {
            *status = ctx.fail(CliUsage, QStringLiteral("--timeout needs a number of milliseconds"));
            return false;
        }
    }
    return true;
}

QString shown(const QString& column, const QString& value)
{
    return ProvisioningPlan::isSecret(column) && !value.isEmpty() ? Masked : value;
}

} // namespace

QString cliPlanHelp()
{
    return QStringLiteral(
        "  export [--full] [--with-secrets] [--format csv|json]   (--full reads SIP accounts and RTP channels)\n"
        "  apply PLAN|- [--check] [--diff] [--format table|json]   (a CSV or JSON plan keyed by mac)\n");
}

int cliExport(const QStringList& args, QTextStream& out, QTextStream& err)
{
    CliContext ctx(out, err);
    QCommandLineParser p;
    CliContext::addCommonOptions(p);
    p.addOption(CliContext::option(QStringLiteral("full"), QStringLiteral("Also read SIP accounts and RTP channels.")));
    p.addOption(CliContext::option(QStringLiteral("with-secrets"), QStringLiteral("Include passwords.")));
    int status = CliOk, timeout = 0;
    if (!parseArgs(p, QStringLiteral("export"), args, ctx, &timeout, &status))
        return status;
    const QString format = p.isSet(QStringLiteral("format")) ? p.value(QStringLiteral("format")) : QStringLiteral("csv");
    if (format != QLatin1String("csv") && format != QLatin1String("json"))
        return ctx.fail(CliUsage, QStringLiteral("--format must be csv or json"));
    if (!p.positionalArguments().isEmpty())
        return ctx.fail(CliUsage, QStringLiteral("export takes no arguments"));
    if (!ctx.openAdapter(p.value(QStringLiteral("adapter"))))
        return CliUsage;
    ctx.search(timeout, false, p.isSet(QStringLiteral("any-model")));

    const bool full = p.isSet(QStringLiteral("full"));
    const bool secrets = p.isSet(QStringLiteral("with-secrets"));
    const QStringList columns = ProvisioningPlan::exportColumns(full, secrets);
    QList<QMap<QString, QString>> devices;
    for (DeviceRecord* d : ctx.devices()) {
        SipAccountSettings sip[ProvisioningPlan::SipAccounts];
        QList<RtpChannelSettings> rtp;
        for (int c = 0; c < ProvisioningPlan::RtpChannels; ++c)
            rtp << RtpChannelSettings();
        bool read = true;
        if (full && (ctx.client().getSipSettings(d, sip[0], sip[1]) != 0 || ctx.client().getRtpSettings(d, rtp) != 0)) {
            err << d->mac() << ": SIP accounts or RTP channels could not be read; its row leaves them empty\n";
            status = CliDeviceFailed;
            read = false;
        }
        QMap<QString, QString> values = ProvisioningPlan::currentValues(*d, full && read ? sip : nullptr,
                                                                        full && read ? &rtp : nullptr, secrets);
        devices << values;
    }
    out << QString::fromUtf8(format == QLatin1String("csv") ? ProvisioningPlan::toCsv(columns, devices)
                                                             : ProvisioningPlan::toJson(columns, devices));
    return status;
}

int cliApply(const QStringList& args, QTextStream& out, QTextStream& err)
{
    CliContext ctx(out, err);
    QCommandLineParser p;
    CliContext::addCommonOptions(p);
    p.addOption(CliContext::option(QStringLiteral("check"), QStringLiteral("Read and report; send nothing.")));
    p.addOption(CliContext::option(QStringLiteral("diff"), QStringLiteral("Show old and new values.")));
    int status = CliOk, timeout = 0;
    if (!parseArgs(p, QStringLiteral("apply"), args, ctx, &timeout, &status))
        return status;
    CliFormat format = CliFormat::Table;
    if (p.isSet(QStringLiteral("format")) &&
        (!CliContext::parseFormat(p.value(QStringLiteral("format")), &format) || format == CliFormat::Csv))
        return ctx.fail(CliUsage, QStringLiteral("--format must be table or json"));
    if (p.positionalArguments().size() != 1)
        return ctx.fail(CliUsage, QStringLiteral("apply takes one plan file (- for standard input)"));
    const QString path = p.positionalArguments().first();
    QFile file;
    const bool opened = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                    : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        return ctx.fail(CliUsage, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    ProvisioningPlan plan;
    QStringList errors;
    if (!plan.parse(file.readAll(), &errors)) {
        for (const QString& e : errors)
            err << "plan: " << e << "\n";
        return CliUsage;
    }
    if (!ctx.openAdapter(p.value(QStringLiteral("adapter"))))
        return CliUsage;
    ctx.search(timeout, false, p.isSet(QStringLiteral("any-model")));

    PlanApply apply(ctx.client(), plan, ctx.devices());
    errors = apply.check();
    if (!errors.isEmpty()) {
        for (const QString& e : errors)
            err << "plan: " << e << "\n";
        err << "nothing was sent\n";
        return CliUsage;
    }
    const bool check = p.isSet(QStringLiteral("check"));
    const QList<PlanApply::Result> results = apply.run(check);
    QJsonArray array;
    for (const PlanApply::Result& r : results) {
        if (r.outcome == PlanApply::Outcome::Failed || r.outcome == PlanApply::Outcome::Missing)
            status = CliDeviceFailed;
        if (format == CliFormat::Json) {
            QJsonObject o;
            o.insert(QStringLiteral("mac"), r.mac);
            o.insert(QStringLiteral("name"), r.name);
            o.insert(QStringLiteral("outcome"), PlanApply::outcomeWord(r.outcome));
            o.insert(QStringLiteral("detail"), r.detail);
            QJsonArray changes;
            for (const ProvisioningPlan::Change& c : r.changes) {
                QJsonObject change;
                change.insert(QStringLiteral("field"), c.column);
                change.insert(QStringLiteral("from"), ProvisioningPlan::typedValue(c.column, shown(c.column, c.from)));
                change.insert(QStringLiteral("to"), ProvisioningPlan::typedValue(c.column, shown(c.column, c.to)));
                changes.append(change);
            }
            o.insert(QStringLiteral("changes"), changes);
            array.append(o);
            continue;
        }
        out << r.mac << " " << PlanApply::outcomeWord(r.outcome);
        if (!r.detail.isEmpty())
            out << " (" << r.detail << ")";
        out << "\n";
        if (p.isSet(QStringLiteral("diff")))
            for (const ProvisioningPlan::Change& c : r.changes)
                out << "  " << c.column << ": " << shown(c.column, c.from) << " -> " << shown(c.column, c.to) << "\n";
    }
    if (format == CliFormat::Json) {
        QJsonObject top;
        top.insert(QStringLiteral("version"), ProvisioningPlan::FormatVersion);
        top.insert(QStringLiteral("check"), check);
        top.insert(QStringLiteral("devices"), array);
        out << QJsonDocument(top).toJson(QJsonDocument::Indented);
    }
    return status;
}
