#include "CliFirmware.h"

#include "CliContext.h"
#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "FirmwareJob.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>

namespace orvane {

namespace {

bool readMilliseconds(const QCommandLineParser& p, const QString& name, int* value)
{
    if (!p.isSet(name))
        return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < 0)
        return false;
    *value = v;
    return true;
}

} // namespace

int cliFirmware(const QStringList& args, QTextStream& out, QTextStream& err)
{
    CliContext ctx(QStringLiteral("firmware"), out, err);
    QCommandLineParser p;
    CliContext::addCommonOptions(p);
    CliContext::addTargetOptions(p);
    p.addOption(CliContext::option(QStringLiteral("http-timeout"), QStringLiteral("MS")));
    int status = CliOk;
    int searchTimeout = DeviceSearch::TimeoutMs;
    if (!ctx.parse(p, args, &status) || !ctx.readTimeout(p, &searchTimeout, &status))
        return status;
    int httpTimeout = -1;
    if (!readMilliseconds(p, QStringLiteral("http-timeout"), &httpTimeout))
        return ctx.fail(CliUsage, QStringLiteral("--http-timeout needs a number of milliseconds"));
    CliFormat format = CliFormat::Table;
    if (p.isSet(QStringLiteral("format")) &&
        (!CliContext::parseFormat(p.value(QStringLiteral("format")), &format) || format == CliFormat::Csv))
        return ctx.fail(CliUsage, QStringLiteral("--format must be table or json"));

    QStringList wanted;
    if (!ctx.wantedMacs(p, &wanted))
        return CliUsage;
    const bool all = p.isSet(QStringLiteral("all"));
    if (wanted.isEmpty() == !all)
        return ctx.fail(CliUsage, QStringLiteral("firmware needs --device MAC... or --all"));
    if (p.positionalArguments().size() != 1)
        return ctx.fail(CliUsage, QStringLiteral("firmware takes one FILE"));
    const QString file = p.positionalArguments().first();
    // Checked before anything is sent, so a bad path costs no device a login.
    QString reason;
    if (!FirmwareJob::checkFile(file, &reason))
        return ctx.fail(CliUsage, reason);

    if (!ctx.openAdapter(p.value(QStringLiteral("adapter"))))
        return ctx.openFailure();
    ctx.search(searchTimeout, false, p.isSet(QStringLiteral("any-model")), all ? QStringList() : wanted);
    QList<DeviceRecord*> targets;
    if (!ctx.resolveTargets(wanted, all, &targets))
        return CliUsage;
    if (targets.isEmpty())
        return ctx.fail(CliDeviceFailed, QStringLiteral("no device answered the search"));

    FirmwareJob job(targets, file);
    if (httpTimeout >= 0)
        job.setTimeouts(httpTimeout, httpTimeout);
    job.run();

    const QList<FirmwareJob::Upload> results = job.results();
    const QStringList lines = job.resultLines();
    QJsonArray reports;
    for (int i = 0; i < results.size(); ++i) {
        const FirmwareJob::Upload& r = results.at(i);
        const QString outcome = FirmwareUploadThread::outcomeText(r.result);
        const bool ok = FirmwareUploadThread::isSuccess(r.result);
        if (format == CliFormat::Json) {
            const QString word = ok ? QStringLiteral("ok")
                                    : r.result.outcome == FirmwareUploadThread::Outcome::NoAnswer
                                          ? QStringLiteral("no-answer")
                                          : QStringLiteral("failed");
            const DeviceRecord* device = ctx.findDevice(r.mac);
            QJsonObject o = CliContext::deviceReport(r.mac, device ? device->name() : QString(), word, outcome);
            o.insert(QStringLiteral("ip"), r.ip);
            if (r.result.httpStatus)
                o.insert(QStringLiteral("http_status"), r.result.httpStatus);
            reports.append(o);
        } else {
            out << lines.at(i) << "\n";
        }
        if (!ok)
            ctx.fail(CliDeviceFailed, QStringLiteral("%1: %2").arg(r.mac, outcome));
    }
    if (format == CliFormat::Json)
        ctx.printJson(reports);
    out.flush();
    return job.allUploaded() ? CliOk : CliDeviceFailed;
}

} // namespace orvane
