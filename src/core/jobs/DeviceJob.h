#pragma once

#include "DeviceRef.h"
#include "DeviceResult.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

namespace orvane {

class ProtocolClient;
class DeviceJobWorker;

// One operation on each of a list of devices, one device after another in the
// order the operator gave, with one result per device at the end. Both the
// program's pages and orvane-cli run their device commands through it.
//
// The signals come from the thread that runs the job; a widget connected to
// them gets them queued. cancel() may come from any thread: it ends the wait
// in flight and skips the devices not yet started.
class DeviceJob : public QObject
{
    Q_OBJECT

public:
    // Sends the command to one device and returns what the command returned
    // (0 when the device answered "success"). index is the device's place in
    // the first run's list, so that a retry gives it the same value again.
    using Send = std::function<int(ProtocolClient& client, DeviceRecord* device, int index)>;
    // Writes what a device accepted into its record; called only after success.
    using Apply = std::function<void(DeviceRecord* device, int index)>;

    // What a batch says of one device when it is over: its place in the list
    // the batch was given, the outcome and a few plain words.
    using Done = std::function<void(int position, DeviceResult::Outcome outcome, const QString& detail)>;
    // An operation that works on several devices at once (firmware uploads run
    // side by side) instead of one send per device: it gets the whole list,
    // calls done once per device as each ends, and ends early once cancelled()
    // turns true. Every device it does not report reads as cancelled.
    using Batch = std::function<void(const QList<DeviceRecord*>& devices, const std::function<bool()>& cancelled,
                                     const Done& done)>;

    struct Task
    {
        QString title; // "Setting name": what the progress line says the job is doing
        Send send;
        Apply apply;
        Batch batch{}; // when set, used instead of send
    };

    // Each record is retained for the job's life.
    DeviceJob(ProtocolClient& client, const Task& task, const QList<DeviceRecord*>& devices);
    // Cancels and joins the worker.
    ~DeviceJob() override;

    DeviceJob(const DeviceJob&) = delete;
    DeviceJob& operator=(const DeviceJob&) = delete;

    // Runs the job on a worker thread; finished() tells when it is over.
    void start();
    // Runs the job on the calling thread.
    void run();
    void cancel();
    // Joins the worker started by start().
    void wait();

    bool isFinished() const { return m_finished.load(); }
    bool isCancelled() const { return m_cancelled.load(); }
    QString title() const { return m_task.title; }
    int total() const { return m_entries.size(); }
    QList<DeviceRecord*> devices() const;
    // One per device in list order; a device not reached yet reads as cancelled.
    QList<DeviceResult> results() const;
    int successCount() const;

    // The same work on the devices that did not succeed, each with the value it had here.
    std::unique_ptr<DeviceJob> retryFailed() const;

    // "Setting name: 7 of 40" for the device about to be handled.
    static QString progressText(const QString& title, int number, int total);

signals:
    // done devices are over; current is the name (or MAC) of the one in hand, empty at the end.
    void progress(int done, int total, const QString& current);
    void deviceFinished(const DeviceResult& result);
    void finished();

private:
    struct Entry
    {
        DeviceRef device;
        int index;
    };
    DeviceJob(ProtocolClient& client, const Task& task, const QList<Entry>& entries);

    DeviceResult runOne(const Entry& entry);
    void runBatch();
    void record(int position, const DeviceResult& result);
    static DeviceResult notStarted(const Entry& entry);

    ProtocolClient& m_client;
    const Task m_task;
    QList<Entry> m_entries;
    std::atomic<bool> m_cancelled{false};
    const unsigned m_cancelsAtStart; // the client's cancel count when the operator made the job
    std::atomic<bool> m_finished{false};
    DeviceJobWorker* m_worker = nullptr;

    mutable QMutex m_mutex; // guards m_results
    QList<DeviceResult> m_results; // one per entry, "not started" until it is over
};

} // namespace orvane
