#pragma once

#include <QObject>
#include <QSettings>
#include <QStringList>

namespace orvane {

// Short-lived access to configure.ini: create one, read or write a key or two,
// destroy it. Changes reach the file when the object is destroyed.
class AppConfig : public QObject
{
    Q_OBJECT
public:
    explicit AppConfig(QObject* parent = nullptr);
    ~AppConfig() override;

    static QString filePath();

    void defaults();
    void sync();

    QString language() const;
    void setLanguage(const QString& value);

    int alarmTest() const;
    void setAlarmTest(int value);

    QString network() const;
    void setNetwork(const QString& value);

    QString deviceId() const;
    void setDeviceId(const QString& value);

    QString rtpServer() const;
    void setRtpServer(const QString& value);

    int rtpSourceIndex() const;
    // Where plans were last exported or read from.
    QString planFolder() const;
    void setPlanFolder(const QString& value);
    void setRtpSourceIndex(int value);

    // How long a search listens for answers, in milliseconds; the default
    // when unset or out of range (a slow segment needs more than 2 s).
    int searchTime() const;
    void setSearchTime(int milliseconds);

    // The main window's layout as the operator left it: the split between the
    // table and the page area, and the table's column widths and order.
    QByteArray mainSplitter() const;
    void setMainSplitter(const QByteArray& state);
    QByteArray tableColumns() const;
    void setTableColumns(const QByteArray& state);

    QStringList rtpFileList() const;
    void setRtpFileList(const QStringList& files);

private:
    QString text(const char* key) const;
    int integer(const char* key) const;

    QSettings m_settings;
};

} // namespace orvane
