#include "CliContext.h"

#include "AdapterList.h"
#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "ProtocolClient.h"
#include "CaptureEngine.h"
#include "CapturePermission.h"
#include "AppConfig.h"
#include "BatchRules.h"
#include "CliHelp.h"
#include "ProvisioningPlan.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QSet>
#include <QRegularExpression>
#include <algorithm>

namespace orvane {

CliContext::CliContext(const QString& command, QTextStream& out, QTextStream& err)
    : m_command(command), m_out(out), m_err(err), m_client(new ProtocolClient)
{
}

CliContext::~CliContext()
{
    m_client->close();
}

int CliContext::fail(int status, const QString& message)
{
    m_err << "orvane-cli " << m_command << ": " << message << "\n";
    m_err.flush();
    return status;
}

void CliContext::warn(const QString& message)
{
    m_err << "orvane-cli " << m_command << ": warning: " << message << "\n";
    m_err.flush();
}

bool CliContext::parse(QCommandLineParser& p, const QStringList& args, int* status)
{
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (p.parse(QStringList{QStringLiteral("orvane-cli")} + args))
        return true;
    const QStringList unknown = p.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString typed = QStringLiteral("--") + unknown.first();
        *status = fail(CliUsage, QStringLiteral("unknown option %1%2; orvane-cli %3 --help lists them")
                                     .arg(typed, cliDidYouMean(typed, cliOptionNames(m_command)), m_command));
    } else {
        *status = fail(CliUsage, p.errorText());
    }
    return false;
}

bool CliContext::readTimeout(const QCommandLineParser& p, int* timeout, int* status)
{
    *timeout = DeviceSearch::TimeoutMs;
    if (!p.isSet(QStringLiteral("timeout")))
        return true;
    bool ok = false;
    *timeout = p.value(QStringLiteral("timeout")).toInt(&ok);
    if (ok && *timeout >= 0)
        return true;
    *status = fail(CliUsage, QStringLiteral("--timeout needs a number of milliseconds"));
    return false;
}

namespace {
QStringList adapterNames(const AdapterList& list)
{
    QStringList names;
    for (int i = 0; i < list.size(); ++i)
        names << QString::fromUtf8(list.at(i)->pcapName);
    return names;
}
} // namespace

bool CliContext::openAdapter(const QString& requested)
{
    m_adapters = AdapterList::listAdapters();
    QString error;
    m_adapter = m_adapters->pick(requested, AppConfig().network(), &error);
    if (!m_adapter) {
        fail(CliUsage, requested.isEmpty() ? error : error + cliDidYouMean(requested, adapterNames(*m_adapters)));
        return false;
    }
    if (!CaptureEngine::probe(*m_adapter, &error)) {
        if (CapturePermission::isMissing(m_adapter, nullptr)) {
            const QString program = QCoreApplication::applicationFilePath();
            m_openFailure = fail(CliNoPermission,
                 QStringLiteral("no permission to capture raw frames on %1 (%2); grant it with: %3")
                     .arg(QString::fromUtf8(m_adapter->pcapName), error, CapturePermission::manualCommand(program)));
            return false;
        }
        fail(CliUsage, QStringLiteral("cannot open adapter %1: %2").arg(QString::fromUtf8(m_adapter->pcapName), error));
        return false;
    }
    m_client->open(m_adapter);
    return true;
}

void CliContext::search(int timeoutMs, bool alarmTest, bool anyModel, const QStringList& until)
{
    // A script of single-device commands would otherwise wait the whole search time for each.
    QSet<QString> missing;
    for (const QString& mac : until)
        missing.insert(BatchRules::macKey(mac));
    std::function<bool(const DeviceRecord&, int)> progress;
    if (!missing.isEmpty()) {
        progress = [&missing](const DeviceRecord& added, int) {
            missing.remove(BatchRules::macKey(added.mac()));
            return !missing.isEmpty();
        };
    }
    m_devices = DeviceSearch::run(*m_client, timeoutMs, alarmTest, anyModel, progress);
    // Whatever the segment did wrong is said, not hidden in the list.
    for (const DeviceRef& d : qAsConst(m_devices)) {
        if (d->sharesMac())
            warn(QStringLiteral("two devices answered from %1; a command to it reaches both").arg(d->mac()));
        if (d->hasForeignMacClaim())
            warn(QStringLiteral("%1 answered naming the MAC %2; it is listed and addressed as %1")
                     .arg(d->mac(), d->claimedMac()));
    }
    const ProtocolClient::SearchSummary summary = m_client->lastSearch();
    if (summary.overflow > 0)
        warn(QStringLiteral("%1 answers came after %2 devices and were counted, not kept")
                 .arg(summary.overflow)
                 .arg(ProtocolClient::MaxSearchDevices));
    if (summary.refused > 0)
        warn(QStringLiteral("%1 answers were refused because they named a key twice").arg(summary.refused));
}

bool CliContext::readSecret(const QString& value, bool fromFile, QString* secret, QString* error)
{
    if (!fromFile && value != QLatin1String("-")) {
        *secret = value;
        return true;
    }
    QFile file;
    const bool opened = fromFile ? (file.setFileName(value), file.open(QIODevice::ReadOnly))
                                 : file.open(stdin, QIODevice::ReadOnly);
    if (!opened) {
        *error = QStringLiteral("cannot read the password from %1: %2")
                     .arg(fromFile ? value : QStringLiteral("standard input"), file.errorString());
        return false;
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    *secret = QString::fromUtf8(line);
    return true;
}

QString CliContext::normalizedMac(const QString& mac)
{
    QString m = mac.trimmed().toLower();
    m.replace(QLatin1Char('-'), QLatin1Char(':'));
    return m;
}

DeviceRecord* CliContext::findDevice(const QString& mac) const
{
    const QString wanted = normalizedMac(mac);
    for (const DeviceRef& d : m_devices) {
        if (normalizedMac(d->mac()) == wanted)
            return d.get();
    }
    return nullptr;
}

QCommandLineOption CliContext::option(const QString& name, const QString& value)
{
    return value.isEmpty() ? QCommandLineOption(name) : QCommandLineOption(name, QString(), value);
}

void CliContext::addCommonOptions(QCommandLineParser& p)
{
    p.addOption(option(QStringLiteral("adapter"), QStringLiteral("NAME")));
    p.addOption(option(QStringLiteral("timeout"), QStringLiteral("MS")));
    p.addOption(option(QStringLiteral("format"), QStringLiteral("FORMAT")));
    p.addOption(option(QStringLiteral("any-model")));
}

void CliContext::addTargetOptions(QCommandLineParser& p)
{
    p.addOption(option(QStringLiteral("device"), QStringLiteral("MAC")));
    p.addOption(option(QStringLiteral("all")));
}

bool CliContext::wantedMacs(const QCommandLineParser& p, QStringList* wanted)
{
    wanted->clear();
    for (const QString& value : p.values(QStringLiteral("device"))) {
        for (const QString& mac : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString why = BatchRules::checkMac(mac.trimmed());
            if (!why.isEmpty()) {
                fail(CliUsage, QStringLiteral("--device: %1").arg(why));
                return false;
            }
            *wanted << normalizedMac(mac);
        }
    }
    return true;
}

bool CliContext::resolveTargets(const QStringList& wanted, bool all, QList<DeviceRecord*>* targets)
{
    targets->clear();
    if (all) {
        *targets = recordsOf(m_devices);
        return true;
    }
    for (const QString& mac : wanted) {
        DeviceRecord* device = findDevice(mac);
        if (!device) {
            fail(CliUsage, QStringLiteral("no device %1 answered the search").arg(mac));
            return false;
        }
        if (!targets->contains(device))
            targets->append(device);
    }
    std::sort(targets->begin(), targets->end(), DeviceRecord::macAsc);
    return true;
}

bool CliContext::parseFormat(const QString& text, CliFormat* format)
{
    if (text == QLatin1String("table"))
        *format = CliFormat::Table;
    else if (text == QLatin1String("json"))
        *format = CliFormat::Json;
    else if (text == QLatin1String("csv"))
        *format = CliFormat::Csv;
    else
        return false;
    return true;
}

QJsonObject CliContext::searchJson(const DeviceRecord* device) const
{
    QStringList notes;
    if (device->sharesMac())
        notes << QStringLiteral("two devices answered from this MAC");
    if (device->hasForeignMacClaim())
        notes << QStringLiteral("the reply names the MAC %1").arg(device->claimedMac());
    QJsonObject o = deviceReport(device->mac(), device->name(), QStringLiteral("listed"),
                                 notes.join(QLatin1String("; ")));
    // The export's columns, so that a script reads the same names in both; no password.
    const QMap<QString, QString> values = ProvisioningPlan::currentValues(*device, nullptr, nullptr, false);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (o.contains(it.key()))
            continue;
        const QJsonValue typed = ProvisioningPlan::typedValue(it.key(), it.value());
        const bool number = it.key().endsWith(QLatin1String("volume")) || it.key() == QLatin1String("auto_mute");
        o.insert(it.key(), number && !typed.isDouble() ? QJsonValue() : typed);
    }
    if (device->hasForeignMacClaim())
        o.insert(QStringLiteral("claimed_mac"), device->claimedMac());
    return o;
}

QJsonObject CliContext::deviceReport(const QString& mac, const QString& name, const QString& outcome,
                                     const QString& detail)
{
    return QJsonObject{{QStringLiteral("mac"), mac},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("outcome"), outcome},
                       {QStringLiteral("detail"), detail}};
}

void CliContext::printJson(const QJsonArray& devices, const QJsonObject& extra)
{
    QJsonObject top = extra;
    top.insert(QStringLiteral("version"), JsonVersion);
    top.insert(QStringLiteral("command"), m_command);
    top.insert(QStringLiteral("devices"), devices);
    m_out << QJsonDocument(top).toJson(QJsonDocument::Indented);
    m_out.flush();
}

void cliPrintTable(QTextStream& out, const QStringList& header, const QList<QStringList>& rows)
{
    QVector<int> widths(header.size());
    for (int c = 0; c < header.size(); ++c)
        widths[c] = header.at(c).size();
    for (const QStringList& row : rows) {
        for (int c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = qMax(widths[c], row.at(c).size());
    }
    auto line = [&](const QStringList& cells) {
        QString text;
        for (int c = 0; c < cells.size(); ++c) {
            if (c)
                text += QLatin1String("  ");
            text += c + 1 < cells.size() ? cells.at(c).leftJustified(widths[c]) : cells.at(c);
        }
        out << text << "\n";
    };
    line(header);
    for (const QStringList& row : rows)
        line(row);
}

void cliPrintCsv(QTextStream& out, const QStringList& header, const QList<QStringList>& rows)
{
    static const QRegularExpression special(QStringLiteral("[\",\r\n]"));
    auto line = [&](const QStringList& cells) {
        QStringList quoted;
        for (QString cell : cells) {
            if (cell.contains(special))
                cell = QLatin1Char('"') + cell.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
            quoted << cell;
        }
        out << quoted.join(QLatin1Char(',')) << "\n";
    };
    line(header);
    for (const QStringList& row : rows)
        line(row);
}

} // namespace orvane
