#include "VyConfigure.h"

#include "VyFileUtils.h"

#include <QFileInfo>

namespace {
const char KeyLanguage[] = "langage";
const char KeyAlarmTest[] = "alarm test";
const char KeyNetwork[] = "network";
const char KeyDeviceId[] = "device id";
const char KeyRtpServer[] = "rtp server";
const char KeyRtpSourceIndex[] = "rtp source index";
const char KeyRtpFileList[] = "rtp file list";
} // namespace

VyConfigure::VyConfigure(QObject* parent) : QObject(parent), m_settings(filePath(), QSettings::IniFormat)
{
    m_settings.setIniCodec("UTF-8");
}

VyConfigure::~VyConfigure()
{
    m_settings.sync();
}

QString VyConfigure::filePath()
{
    return QStringLiteral("%1/configure.ini").arg(VyFileUtils::configureDirectory());
}

void VyConfigure::defaults()
{
    if (!m_settings.contains(QLatin1String(KeyLanguage)))
        m_settings.setValue(QLatin1String(KeyLanguage), QStringLiteral("en"));
    if (!m_settings.contains(QLatin1String(KeyAlarmTest)))
        m_settings.setValue(QLatin1String(KeyAlarmTest), 1);
}

void VyConfigure::sync()
{
    m_settings.sync();
}

QString VyConfigure::text(const char* key) const
{
    const QVariant v = m_settings.value(QLatin1String(key));
    if (!v.isValid())
        return QString();
    // A hand-edited "a, b" reads back as a list; keep its text form.
    if (v.type() == QVariant::StringList)
        return v.toStringList().join(QLatin1String(", "));
    return v.toString();
}

int VyConfigure::integer(const char* key) const
{
    bool ok = false;
    const int value = m_settings.value(QLatin1String(key)).toInt(&ok);
    return ok ? value : 0;
}

QString VyConfigure::language() const { return text(KeyLanguage); }
void VyConfigure::setLanguage(const QString& value) { m_settings.setValue(QLatin1String(KeyLanguage), value); }

int VyConfigure::alarmTest() const { return integer(KeyAlarmTest); }
void VyConfigure::setAlarmTest(int value) { m_settings.setValue(QLatin1String(KeyAlarmTest), value); }

QString VyConfigure::network() const { return text(KeyNetwork); }
void VyConfigure::setNetwork(const QString& value) { m_settings.setValue(QLatin1String(KeyNetwork), value); }

QString VyConfigure::deviceId() const { return text(KeyDeviceId); }
void VyConfigure::setDeviceId(const QString& value) { m_settings.setValue(QLatin1String(KeyDeviceId), value); }

QString VyConfigure::rtpServer() const { return text(KeyRtpServer); }
void VyConfigure::setRtpServer(const QString& value) { m_settings.setValue(QLatin1String(KeyRtpServer), value); }

int VyConfigure::rtpSourceIndex() const { return integer(KeyRtpSourceIndex); }
void VyConfigure::setRtpSourceIndex(int value)
{
    m_settings.setValue(QLatin1String(KeyRtpSourceIndex), value);
}

QStringList VyConfigure::rtpFileList() const
{
    const QStringList entries = text(KeyRtpFileList).split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    QStringList files;
    for (const QString& entry : entries) {
        if (!entry.isEmpty() && QFileInfo(entry).isFile())
            files.append(entry);
    }
    return files;
}

void VyConfigure::setRtpFileList(const QStringList& files)
{
    QString value;
    for (const QString& file : files)
        value += file + QLatin1Char('\n');
    m_settings.setValue(QLatin1String(KeyRtpFileList), value);
}
