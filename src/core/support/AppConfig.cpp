#include "AppConfig.h"

#include "AppPaths.h"

#include <QFileInfo>

namespace orvane {

namespace {
const char KeyLanguage[] = "langage";
const char KeyAlarmTest[] = "alarm test";
const char KeyNetwork[] = "network";
const char KeyDeviceId[] = "device id";
const char KeyRtpServer[] = "rtp server";
const char KeyRtpSourceIndex[] = "rtp source index";
const char KeyRtpFileList[] = "rtp file list";
const char KeyPlanFolder[] = "plan folder";
const char KeySearchTime[] = "search time";
const char KeyMainSplitter[] = "main splitter";
const char KeyTableColumns[] = "table columns";
// Stored in milliseconds; below the lower bound most devices would not make it,
// above the upper one the window would seem hung.
const int DefaultSearchTimeMs = 2000;
const int MinSearchTimeMs = 500;
const int MaxSearchTimeMs = 60000;
} // namespace

AppConfig::AppConfig(QObject* parent) : QObject(parent), m_settings(filePath(), QSettings::IniFormat)
{
    m_settings.setIniCodec("UTF-8");
}

AppConfig::~AppConfig()
{
    m_settings.sync();
}

QString AppConfig::filePath()
{
    return QStringLiteral("%1/configure.ini").arg(AppPaths::configureDirectory());
}

void AppConfig::defaults()
{
    if (!m_settings.contains(QLatin1String(KeyLanguage)))
        m_settings.setValue(QLatin1String(KeyLanguage), QStringLiteral("en"));
    if (!m_settings.contains(QLatin1String(KeyAlarmTest)))
        m_settings.setValue(QLatin1String(KeyAlarmTest), 1);
}

void AppConfig::sync()
{
    m_settings.sync();
}

QString AppConfig::text(const char* key) const
{
    const QVariant v = m_settings.value(QLatin1String(key));
    if (!v.isValid())
        return QString();
    // A hand-edited "a, b" reads back as a list; keep its text form.
    if (v.type() == QVariant::StringList)
        return v.toStringList().join(QLatin1String(", "));
    return v.toString();
}

int AppConfig::integer(const char* key) const
{
    bool ok = false;
    const int value = m_settings.value(QLatin1String(key)).toInt(&ok);
    return ok ? value : 0;
}

QString AppConfig::language() const { return text(KeyLanguage); }
void AppConfig::setLanguage(const QString& value) { m_settings.setValue(QLatin1String(KeyLanguage), value); }

int AppConfig::alarmTest() const { return integer(KeyAlarmTest); }
void AppConfig::setAlarmTest(int value) { m_settings.setValue(QLatin1String(KeyAlarmTest), value); }

QString AppConfig::network() const { return text(KeyNetwork); }
void AppConfig::setNetwork(const QString& value) { m_settings.setValue(QLatin1String(KeyNetwork), value); }

QString AppConfig::planFolder() const { return text(KeyPlanFolder); }
void AppConfig::setPlanFolder(const QString& value) { m_settings.setValue(QLatin1String(KeyPlanFolder), value); }

QString AppConfig::deviceId() const { return text(KeyDeviceId); }
void AppConfig::setDeviceId(const QString& value) { m_settings.setValue(QLatin1String(KeyDeviceId), value); }

QString AppConfig::rtpServer() const { return text(KeyRtpServer); }
void AppConfig::setRtpServer(const QString& value) { m_settings.setValue(QLatin1String(KeyRtpServer), value); }

int AppConfig::rtpSourceIndex() const { return integer(KeyRtpSourceIndex); }
void AppConfig::setRtpSourceIndex(int value)
{
    m_settings.setValue(QLatin1String(KeyRtpSourceIndex), value);
}

int AppConfig::searchTime() const
{
    const int value = integer(KeySearchTime);
    return value >= MinSearchTimeMs && value <= MaxSearchTimeMs ? value : DefaultSearchTimeMs;
}

void AppConfig::setSearchTime(int milliseconds)
{
    m_settings.setValue(QLatin1String(KeySearchTime), qBound(MinSearchTimeMs, milliseconds, MaxSearchTimeMs));
}

// Kept as Base64 text so that the file stays readable and hand-editable around them.
QByteArray AppConfig::mainSplitter() const { return QByteArray::fromBase64(text(KeyMainSplitter).toLatin1()); }
void AppConfig::setMainSplitter(const QByteArray& state)
{
    m_settings.setValue(QLatin1String(KeyMainSplitter), QString::fromLatin1(state.toBase64()));
}

QByteArray AppConfig::tableColumns() const { return QByteArray::fromBase64(text(KeyTableColumns).toLatin1()); }
void AppConfig::setTableColumns(const QByteArray& state)
{
    m_settings.setValue(QLatin1String(KeyTableColumns), QString::fromLatin1(state.toBase64()));
}

QStringList AppConfig::rtpFileList() const
{
    const QStringList entries = text(KeyRtpFileList).split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    QStringList files;
    for (const QString& entry : entries) {
        if (!entry.isEmpty() && QFileInfo(entry).isFile())
            files.append(entry);
    }
    return files;
}

void AppConfig::setRtpFileList(const QStringList& files)
{
    QString value;
    for (const QString& file : files)
        value += file + QLatin1Char('\n');
    m_settings.setValue(QLatin1String(KeyRtpFileList), value);
}

} // namespace orvane
