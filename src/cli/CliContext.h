#pragma once

#include "DeviceRef.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>

namespace orvane {

class AdapterList;
class ProtocolClient;
struct Adapter;

// Exit statuses of orvane-cli.
enum CliStatus {
    CliOk = 0,
    CliDeviceFailed = 1, // the device failed or did not answer
    CliUsage = 2,        // bad usage, unknown device or no usable adapter
    CliNoPermission = 3  // the program may not capture raw frames
};

enum class CliFormat { Table, Json, Csv };

// What every device subcommand needs: the adapter, the command set on it and
// the devices a search found. Messages for the operator go to err, one line each.
class CliContext
{
public:
    // command names the messages: "orvane-cli COMMAND: ...".
    CliContext(const QString& command, QTextStream& out, QTextStream& err);
    ~CliContext();

    QTextStream& out() { return m_out; }
    QTextStream& err() { return m_err; }

    // --adapter when given, else the remembered "network", else the choose rule.
    // False (with a message) when no adapter can be used.
    bool openAdapter(const QString& requested);
    // The exit status for the last openAdapter that failed.
    int openFailure() const { return m_openFailure; }
    ProtocolClient& client() { return *m_client; }
    const Adapter* adapter() const { return m_adapter; }

    // Searches and keeps the accepted devices (sorted by MAC). With until, the
    // search ends as soon as every MAC in it has answered.
    void search(int timeoutMs, bool alarmTest, bool anyModel, const QStringList& until = {});
    QList<DeviceRecord*> devices() const { return recordsOf(m_devices); }
    // The found device with this MAC (":" or "-" separators, any case), or none.
    DeviceRecord* findDevice(const QString& mac) const;

    static bool parseFormat(const QString& text, CliFormat* format);

    // An option taking value (a flag without); what it means is said in CliHelp.
    static QCommandLineOption option(const QString& name, const QString& value = QString());
    // --adapter, --timeout, --format, --any-model
    static void addCommonOptions(QCommandLineParser& parser);
    // --device MAC... and --all
    static void addTargetOptions(QCommandLineParser& parser);
    // Parses args, with a hint for a mistyped option. False (status set, message said) on bad usage.
    bool parse(QCommandLineParser& parser, const QStringList& args, int* status);
    // --timeout, DeviceSearch::TimeoutMs when not given. False (status set, message said) when not a number.
    bool readTimeout(const QCommandLineParser& parser, int* timeout, int* status);
    // The MACs of --device, repeated or separated by commas, normalised. False
    // (with the message) for one that is not a MAC, before anything is searched.
    bool wantedMacs(const QCommandLineParser& parser, QStringList* wanted);
    // The devices a batch addresses, in MAC order: every device found with
    // all, else the wanted ones. False (with the message) for an unknown MAC,
    // so that nothing is sent to part of a batch.
    bool resolveTargets(const QStringList& wanted, bool all, QList<DeviceRecord*>* targets);
    static QString normalizedMac(const QString& mac);
    // A secret given on the command line as "-" comes from the first line of
    // standard input, and one given as a file from the file's first line:
    // arguments are visible to every user in ps. False (with error) when it cannot be read.
    static bool readSecret(const QString& value, bool fromFile, QString* secret, QString* error);
    // What search reports of a device: the per-device fields every command
    // prints, then the export's columns, typed (an unknown number is null).
    QJsonObject searchJson(const DeviceRecord* device) const;
    // The fields every command's JSON gives each device: outcome is one of
    // ok, changed, unchanged, listed, failed, no-answer, not-sent, missing.
    static QJsonObject deviceReport(const QString& mac, const QString& name, const QString& outcome,
                                    const QString& detail);
    // {"version":1,"command":...,"devices":[...]} and what extra adds.
    void printJson(const QJsonArray& devices, const QJsonObject& extra = QJsonObject());
    static constexpr int JsonVersion = 1;

    int fail(int status, const QString& message);
    void warn(const QString& message);

private:
    QString m_command;
    QTextStream& m_out;
    QTextStream& m_err;
    int m_openFailure = CliUsage;
    std::unique_ptr<AdapterList> m_adapters;
    const Adapter* m_adapter = nullptr;
    std::unique_ptr<ProtocolClient> m_client;
    QList<DeviceRef> m_devices;
};

// Prints rows of texts as an aligned table or as CSV (RFC 4180 quoting).
void cliPrintTable(QTextStream& out, const QStringList& header, const QList<QStringList>& rows);
void cliPrintCsv(QTextStream& out, const QStringList& header, const QList<QStringList>& rows);

} // namespace orvane
