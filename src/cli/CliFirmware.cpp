#include "CliFirmware.h"

#include "CliContext.h"
#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "FirmwareJob.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>

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

QString cliFirmwareHelp()
{
    return QStringLiteral(
        "  firmware --device MAC... | --all [--http-timeout MS] FILE\n"
        "          (logs in to each device's web interface and uploads FILE, up to ten at a time;\n"
        "           --http-timeout: how long a silent device is waited for, default 10000 for the\n"
        "           login and 120000 for the upload)\n");
}

int cliFirmware(const QStringList& args, QTextStream& out, QTextStream& err)
{
    CliContext ctx(out, err);
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    CliContext::addCommonOptions(p);
    CliContext::addTargetOptions(p);
    p.addOption(CliContext::option(QStringLiteral("http-timeout"),
                    QStringLiteral("Silence in ms before a device counts as not answering."),
                    QStringLiteral("MS")));
    if (!p.parse(QStringList{QStringLiteral("orvane-cli firmware")} + args))
        return ctx.fail(CliUsage, p.errorText());

    int searchTimeout = DeviceSearch::TimeoutMs;
    if (!readMilliseconds(p, QStringLiteral("timeout"), &searchTimeout))
        return ctx.fail(CliUsage, QStringLiteral("--timeout needs a number of milliseconds"));
    int httpTimeout = -1;
    if (!readMilliseconds(p, QStringLiteral("http-timeout"), &httpTimeout))
        return ctx.fail(CliUsage, QStringLiteral("--http-timeout needs a number of milliseconds"));
    CliFormat format = CliFormat::Table;
    if (p.isSet(QStringLiteral("format")) &&
        (!CliContext::parseFormat(p.value(QStringLiteral("format")), &format) || format == CliFormat::Csv))
        return ctx.fail(CliUsage, QStringLiteral("--format must be table or json"));

    const QStringList wanted = CliContext::wantedMacs(p);
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
    ctx.search(searchTimeout, false, p.isSet(QStringLiteral("any-model")));
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
    for (int i = 0; i < results.size(); ++i) {
        const FirmwareJob::Upload& r = results.at(i);
        const QString outcome = FirmwareUploadThread::outcomeText(r.result);
        if (format == CliFormat::Json) {
            QJsonObject o;
            o.insert(QStringLiteral("device"), r.mac);
            o.insert(QStringLiteral("ip"), r.ip);
            o.insert(QStringLiteral("command"), QStringLiteral("firmware"));
            o.insert(QStringLiteral("outcome"), outcome);
            o.insert(QStringLiteral("ok"), FirmwareUploadThread::isSuccess(r.result));
            if (r.result.httpStatus)
                o.insert(QStringLiteral("status"), r.result.httpStatus);
            out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
        } else {
            out << lines.at(i) << "\n";
        }
        if (!FirmwareUploadThread::isSuccess(r.result))
            err << "orvane-cli: firmware on " << r.mac << ": " << outcome << "\n";
    }
    out.flush();
    err.flush();
    return job.allUploaded() ? CliOk : CliDeviceFailed;
}
