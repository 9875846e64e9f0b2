#include "CliContext.h"

#include "AdapterList.h"
#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "ProtocolClient.h"
#include "CaptureEngine.h"
#include "CapturePermission.h"
#include "AppConfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>

CliContext::CliContext(QTextStream& out, QTextStream& err) : m_out(out), m_err(err), m_client(new ProtocolClient) {}

CliContext::~CliContext()
{
    for (DeviceRecord* d : m_devices)
        d->release();
    m_client->close();
}

int CliContext::fail(int status, const QString& message)
{
    m_err << "orvane-cli: " << message << "\n";
    m_err.flush();
    return status;
}

bool CliContext::openAdapter(const QString& requested)
{
    m_adapters = AdapterList::listAdapters();
    QString error;
    m_adapter = m_adapters->pick(requested, AppConfig().network(), &error);
    if (!m_adapter) {
        fail(CliUsage, error);
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
    // The adapter opens on the capture engine's own thread; a search begun
    // before that would lose part of its time.
    m_client->waitUntilCaptureOpen(3000);
    return true;
}

void CliContext::search(int timeoutMs, bool alarmTest, bool anyModel)
{
    for (DeviceRecord* d : m_devices)
        d->release();
    m_devices = DeviceSearch::run(*m_client, timeoutMs, alarmTest, anyModel);
    // Whatever the segment did wrong is said, not hidden in the list.
    for (const DeviceRecord* d : qAsConst(m_devices)) {
        if (d->sharesMac())
            m_err << QStringLiteral("warning: two devices answered from %1; a command to it reaches both\n")
                         .arg(d->mac());
        if (d->hasForeignMacClaim())
            m_err << QStringLiteral("warning: %1 answered naming the MAC %2; it is listed and addressed as %1\n")
                         .arg(d->mac(), d->claimedMac());
    }
    const ProtocolClient::SearchSummary summary = m_client->lastSearch();
    if (summary.overflow > 0)
        m_err << QStringLiteral("warning: %1 answers came after %2 devices and were counted, not kept\n")
                     .arg(summary.overflow)
                     .arg(ProtocolClient::MaxSearchDevices);
    if (summary.refused > 0)
        m_err << QStringLiteral("warning: %1 answers were refused because they named a key twice\n")
                     .arg(summary.refused);
    m_err.flush();
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
    for (DeviceRecord* d : m_devices) {
        if (normalizedMac(d->mac()) == wanted)
            return d;
    }
    return nullptr;
}

QCommandLineOption CliContext::option(const QString& name, const QString& help, const QString& value)
{
    return value.isEmpty() ? QCommandLineOption(name, help) : QCommandLineOption(name, help, value);
}

void CliContext::addCommonOptions(QCommandLineParser& p)
{
    p.addOption(option(QStringLiteral("adapter"), QStringLiteral("Adapter (interface) name."), QStringLiteral("NAME")));
    p.addOption(
        option(QStringLiteral("timeout"), QStringLiteral("Search time in ms (default 2000)."), QStringLiteral("MS")));
    p.addOption(option(QStringLiteral("format"), QStringLiteral("table, json or csv."), QStringLiteral("FORMAT")));
    p.addOption(option(QStringLiteral("any-model"), QStringLiteral("Also list devices of other models.")));
}

void CliContext::addTargetOptions(QCommandLineParser& p)
{
    p.addOption(option(QStringLiteral("device"), QStringLiteral("MAC of a device; repeat or separate with commas."),
                       QStringLiteral("MAC")));
    p.addOption(option(QStringLiteral("all"), QStringLiteral("Every device the search finds.")));
}

QStringList CliContext::wantedMacs(const QCommandLineParser& p)
{
    QStringList wanted;
    for (const QString& value : p.values(QStringLiteral("device"))) {
        for (const QString& mac : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
            wanted << normalizedMac(mac);
    }
    return wanted;
}

bool CliContext::resolveTargets(const QStringList& wanted, bool all, QList<DeviceRecord*>* targets)
{
    targets->clear();
    if (all) {
        *targets = m_devices;
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

QJsonObject CliContext::deviceJson(const DeviceRecord* device)
{
    QJsonObject o;
    o.insert(QStringLiteral("mac"), device->mac());
    o.insert(QStringLiteral("name"), device->name());
    o.insert(QStringLiteral("type"), device->type());
    o.insert(QStringLiteral("ipMode"), device->ipMode());
    o.insert(QStringLiteral("version"), device->version());
    o.insert(QStringLiteral("ip"), device->ip());
    o.insert(QStringLiteral("gateway"), device->gateway());
    o.insert(QStringLiteral("netmask"), device->netmask());
    o.insert(QStringLiteral("dns1"), device->dns1());
    o.insert(QStringLiteral("dns2"), device->dns2());
    o.insert(QStringLiteral("sn"), device->sn());
    o.insert(QStringLiteral("uid"), device->uid());
    if (device->hasForeignMacClaim())
        o.insert(QStringLiteral("claimedMac"), device->claimedMac());
    QJsonObject others;
    const QMap<QString, QString> map = device->others();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        // Passwords stay on the device and out of scripts' output.
        const QString key = it.key().toLower();
        if (key.contains(QLatin1String("pass")) || key.contains(QLatin1String("pwd")))
            continue;
        others.insert(it.key(), it.value());
    }
    o.insert(QStringLiteral("others"), others);
    return o;
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
