#include "CliFirmware.h"

#include "CliContext.h"
#include "OrvaneDevice.h"
#include "OrvaneDeviceSearch.h"
#include "OrvaneFirmwareJob.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

QCommandLineOption opt(const QString& name, const QString& help, const QString& value = QString())
{
    return value.isEmpty() ? QCommandLineOption(name, help) : QCommandLineOption(name, help, value);
}

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
    p.addOption(
        opt(QStringLiteral("adapter"), QStringLiteral("Adapter (interface) name."), QStringLiteral("NAME")));
    p.addOption(opt(QStringLiteral("timeout"), QStringLiteral("Search time in ms (default 2000)."),
                    QStringLiteral("MS")));
    p.addOption(opt(QStringLiteral("format"), QStringLiteral("table or json."), QStringLiteral("FORMAT")));
    p.addOption(opt(QStringLiteral("any-model"), QStringLiteral("Also devices of other models.")));
    p.addOption(opt(QStringLiteral("device"),
                    QStringLiteral("MAC of a device; repeat or separate with commas."),
                    QStringLiteral("MAC")));
    p.addOption(opt(QStringLiteral("all"), QStringLiteral("Every device the search finds.")));
    p.addOption(opt(QStringLiteral("http-timeout"),
                    QStringLiteral("Silence in ms before a device counts as not answering."),
                    QStringLiteral("MS")));
    if (!p.parse(QStringList{QStringLiteral("orvane-cli firmware")} + args))
        return ctx.fail(CliUsage, p.errorText());

    int searchTimeout = OrvaneDeviceSearch::TimeoutMs;
    if (!readMilliseconds(p, QStringLiteral("timeout"), &searchTimeout))
        return ctx.fail(CliUsage, QStringLiteral("--timeout needs a number of milliseconds"));
    int httpTimeout = -1;
    if (!readMilliseconds(p, QStringLiteral("http-timeout"), &httpTimeout))
        return ctx.fail(CliUsage, QStringLiteral("--http-timeout needs a number of milliseconds"));
    CliFormat format = CliFormat::Table;
    if (p.isSet(QStringLiteral("format")) &&
        (!CliContext::parseFormat(p.value(QStringLiteral("format")), &format) || format == CliFormat::Csv))
        return ctx.fail(CliUsage, QStringLiteral("--format must be table or json"));

    QStringList wanted;
    for (const QString& value : p.values(QStringLiteral("device"))) {
        for (const QString& mac : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
            wanted << CliContext::normalizedMac(mac);
    }
    const bool all = p.isSet(QStringLiteral("all"));
    if (wanted.isEmpty() == !all)
        return ctx.fail(CliUsage, QStringLiteral("firmware needs --device MAC... or --all"));
    if (p.positionalArguments().size() != 1)
        return ctx.fail(CliUsage, QStringLiteral("firmware takes one FILE"));
    const QString file = p.positionalArguments().first();
    // Checked before anything is sent, so a bad path costs no device a login.
    QString reason;
    if (!OrvaneFirmwareJob::checkFile(file, &reason))
        return ctx.fail(CliUsage, reason);

    if (!ctx.openAdapter(p.value(QStringLiteral("adapter"))))
        return CliUsage;
    ctx.search(searchTimeout, false, p.isSet(QStringLiteral("any-model")));
    QList<OrvaneDevice*> targets;
    if (all) {
        targets = ctx.devices();
        if (targets.isEmpty())
            return ctx.fail(CliDeviceFailed, QStringLiteral("no device answered the search"));
    } else {
        for (const QString& mac : wanted) {
            OrvaneDevice* device = ctx.findDevice(mac);
            if (!device)
                return ctx.fail(CliUsage, QStringLiteral("no device %1 answered the search").arg(mac));
            if (!targets.contains(device))
                targets << device;
        }
        std::sort(targets.begin(), targets.end(), OrvaneDevice::macAsc);
    }

    OrvaneFirmwareJob job(targets, file);
    if (httpTimeout >= 0)
        job.setTimeouts(httpTimeout, httpTimeout);
    job.run();

    const QList<OrvaneFirmwareJob::DeviceResult> results = job.results();
    const QStringList lines = job.resultLines();
    for (int i = 0; i < results.size(); ++i) {
        const OrvaneFirmwareJob::DeviceResult& r = results.at(i);
        const QString outcome = OrvaneFirmwareUploadThread::outcomeText(r.result);
        if (format == CliFormat::Json) {
            QJsonObject o;
            o.insert(QStringLiteral("device"), r.mac);
            o.insert(QStringLiteral("ip"), r.ip);
            o.insert(QStringLiteral("command"), QStringLiteral("firmware"));
            o.insert(QStringLiteral("outcome"), outcome);
            o.insert(QStringLiteral("ok"), OrvaneFirmwareUploadThread::isSuccess(r.result));
            if (r.result.httpStatus)
                o.insert(QStringLiteral("status"), r.result.httpStatus);
            out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
        } else {
            out << lines.at(i) << "\n";
        }
        if (!OrvaneFirmwareUploadThread::isSuccess(r.result))
            err << "orvane-cli: firmware on " << r.mac << ": " << outcome << "\n";
    }
    out.flush();
    err.flush();
    return job.allUploaded() ? CliOk : CliDeviceFailed;
}
