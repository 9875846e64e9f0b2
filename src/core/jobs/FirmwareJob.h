#pragma once

#include "DeviceRef.h"
#include "DeviceResult.h"
#include "FirmwareUploadThread.h"

#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

namespace orvane {

// One firmware upgrade of a list of devices: up to ten upload threads at a
// time, started in device order, and one result per device at the end. No
// widgets: the version page's job dialog and orvane-cli both drive it.
//
// run() belongs to one worker thread; abort() may come from any other thread
// (the dialog's, when it is closed) and also ends a run() in progress.
class FirmwareJob
{
public:
    static constexpr int MaxUploads = 10;
    static constexpr int PollMs = 10;

    struct Upload
    {
        QString name;
        QString mac;
        QString ip;
        FirmwareUploadThread::Result result;
    };

    // Each record is retained for the job's life.
    FirmwareJob(const QList<DeviceRecord*>& devices, const QString& file);
    // Stops and joins what still runs.
    ~FirmwareJob();

    FirmwareJob(const FirmwareJob&) = delete;
    FirmwareJob& operator=(const FirmwareJob&) = delete;

    // Before run(): how long a device may stay silent.
    void setTimeouts(int loginMs, int uploadMs);

    // Upgrades every device. True when the job ended by itself (whatever the
    // devices answered), false when isStopped() or abort() ended it; either way
    // no upload thread is left and every device has its result.
    bool run(const std::function<bool()>& isStopped = std::function<bool()>());
    // Stops, joins and deletes every upload thread; devices not done are cancelled.
    void abort();

    // Results in device order; a device not yet ended has Outcome::NotRun.
    QList<Upload> results() const;
    // "<mac> <ip>: <outcome>", one per device in device order.
    QStringList resultLines() const;
    // The same results in the words every device job uses, for the result list.
    QList<DeviceResult> deviceResults() const;
    bool allUploaded() const;
    // Whether the file can be sent at all; reason says why not. It must open,
    // and must not hold the multipart delimiter, which would end the part
    // early and give the device a cut image.
    static bool checkFile(const QString& path, QString* reason);

private:
    // Under m_mutex.
    void reapLocked(bool all);
    void startLocked(int index);
    void finishLocked();

    const QString m_file;
    QList<DeviceRef> m_devices;
    int m_loginTimeoutMs = FirmwareUploadThread::DefaultLoginTimeoutMs;
    int m_uploadTimeoutMs = FirmwareUploadThread::DefaultUploadTimeoutMs;

    mutable QMutex m_mutex;                                   // guards everything below
    QList<QPair<int, FirmwareUploadThread*>> m_uploads; // device index, thread
    QList<Upload> m_results;
    bool m_aborted = false;
    bool m_finished = false;
};

} // namespace orvane
