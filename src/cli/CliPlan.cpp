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

namespace orvane {

namespace {

const QString Masked = QStringLiteral("***");
static_assert(CliContext::JsonVersion == ProvisioningPlan::FormatVersion, "apply prints the shape export writes");

QString shown(const QString& column, const QString& value)
{
    return ProvisioningPlan::isSecret(column) && !value.isEmpty() ? Masked : value;
}

} // namespace

int cliExport(const QStringList& args, QTextStream& out, QTextStream& err)
{
    CliContext ctx(QStringLiteral("export"), out, err);
    QCommandLineParser p;
    CliContext::addCommonOptions(p);
    p.addOption(CliContext::option(QStringLiteral("full")));
    p.addOption(CliContext::option(QStringLiteral("with-secrets")));
    int status = CliOk, timeout = 0;
    if (!ctx.parse(p, args, &status) || !ctx.readTimeout(p, &timeout, &status))
        return status;
    const QString format = p.isSet(QStringLiteral("format")) ? p.value(QStringLiteral("format")) : QStringLiteral("csv");
    if (format != QLatin1String("csv") && format != QLatin1String("json"))
        return ctx.fail(CliUsage, QStringLiteral("--format must be csv or json"));
    if (!p.positionalArguments().isEmpty())
        return ctx.fail(CliUsage, QStringLiteral("export takes no arguments"));
    if (!ctx.openAdapter(p.value(QStringLiteral("adapter"))))
        return ctx.openFailure();
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
            status = ctx.fail(CliDeviceFailed, QStringLiteral("%1: SIP accounts or RTP channels could not be read; "
                                                              "its row leaves them empty").arg(d->mac()));
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
    CliContext ctx(QStringLiteral("apply"), out, err);
    QCommandLineParser p;
    CliContext::addCommonOptions(p);
    p.addOption(CliContext::option(QStringLiteral("check")));
    p.addOption(CliContext::option(QStringLiteral("diff")));
    int status = CliOk, timeout = 0;
    if (!ctx.parse(p, args, &status) || !ctx.readTimeout(p, &timeout, &status))
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
            ctx.fail(CliUsage, QStringLiteral("plan: ") + e);
        return CliUsage;
    }
    if (!ctx.openAdapter(p.value(QStringLiteral("adapter"))))
        return ctx.openFailure();
    ctx.search(timeout, false, p.isSet(QStringLiteral("any-model")));

    PlanApply apply(ctx.client(), plan, ctx.devices());
    errors = apply.check();
    if (!errors.isEmpty()) {
        for (const QString& e : errors)
            ctx.fail(CliUsage, QStringLiteral("plan: ") + e);
        return ctx.fail(CliUsage, QStringLiteral("nothing was sent"));
    }
    const bool check = p.isSet(QStringLiteral("check"));
    const QList<PlanApply::Result> results = apply.run(check);
    QJsonArray array;
    for (const PlanApply::Result& r : results) {
        if (r.outcome == PlanApply::Outcome::Failed || r.outcome == PlanApply::Outcome::Missing)
            status = CliDeviceFailed;
        if (format == CliFormat::Json) {
            QJsonObject o = CliContext::deviceReport(r.mac, r.name, PlanApply::outcomeWord(r.outcome), r.detail);
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
    if (format == CliFormat::Json)
        ctx.printJson(array, QJsonObject{{QStringLiteral("check"), check}});
    return status;
}

} // namespace orvane
