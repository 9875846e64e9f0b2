#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace orvane {

class DeviceRecord;
class RtpChannelSettings;
class SipAccountSettings;

// A site's devices as a table keyed by MAC: what `export` writes and what
// `apply` reads. The same columns in CSV and JSON; a plan may hold any subset
// of them, and an empty cell means "leave as is".
class ProvisioningPlan
{
public:
    // The version of the JSON shape; scripts check it.
    static constexpr int FormatVersion = 1;
    static constexpr int SipAccounts = 2;
    static constexpr int RtpChannels = 10;

    // Settable columns, in the order export writes them.
    static QStringList settableColumns();
    // Columns export writes that describe a device but cannot be set; a plan
    // made from an export may carry them and they are ignored.
    static QStringList readOnlyColumns();
    // Columns whose values never appear in clear in a diff or a log.
    static bool isSecret(const QString& column);

    struct Row
    {
        int line = 0;                  // in the file, for messages (1 is the first data row of a JSON array)
        QString mac;                   // as written
        QMap<QString, QString> values; // settable columns with a non-empty cell
    };

    // Reads CSV (a header line, then one device a line, RFC 4180 quoting) or
    // JSON (an array of objects, or {"version":1,"devices":[...]}), chosen by
    // the first character. Each cell is checked on its own: unknown columns,
    // malformed values, a missing or repeated MAC are refused with the row and
    // column named. False with the reasons in errors.
    bool parse(const QByteArray& data, QStringList* errors);
    const QList<Row>& rows() const { return m_rows; }
    // The same plan for the devices with these MACs only.
    ProvisioningPlan only(const QStringList& macs) const;

    // A device's current values under the plan's column names, from its search
    // record and, where given, the SIP accounts and RTP channels read from it.
    static QMap<QString, QString> currentValues(const DeviceRecord& device, const SipAccountSettings* sip,
                                                const QList<RtpChannelSettings>* rtp, bool withSecrets);

    struct Change
    {
        QString column;
        QString from;
        QString to;
    };
    // The planned values that differ from the current ones.
    static QList<Change> changes(const Row& row, const QMap<QString, QString>& current);

    // Whether a row touches the SIP accounts or the RTP channels, which are
    // read from the device (a search does not carry them).
    static bool touchesSip(const Row& row);
    static bool touchesRtp(const Row& row);

    // The given rows of values under the given columns, as export writes them.
    static QByteArray toCsv(const QStringList& columns, const QList<QMap<QString, QString>>& devices);
    static QByteArray toJson(const QStringList& columns, const QList<QMap<QString, QString>>& devices);
    // The columns export writes: identity, the table's, and with full the SIP
    // accounts and RTP channels; passwords only with secrets.
    static QStringList exportColumns(bool full, bool secrets);
    // A value as JSON carries it: volumes, auto_mute and ports as numbers.
    static QJsonValue typedValue(const QString& column, const QString& value);

private:
    bool addRow(int line, const QMap<QString, QString>& cells, QStringList* errors);

    QList<Row> m_rows;
};

} // namespace orvane
