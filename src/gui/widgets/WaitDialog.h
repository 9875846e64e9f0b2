#pragma once

#include "Dialog.h"

#include <atomic>
#include <cstdint>

namespace orvane {

class WaitThread;

// A modal dialog that runs a job on a worker thread and closes itself accepted
// when the job emits workFinished(). Closing it (Esc, close button) stops the job and
// rejects it.
//
// Callers call start() and then exec(). run() executes on the worker and must
// poll isStopped(); a blocking call in it must be interruptible by abortWork(),
// which runs on the user-interface thread before stop() waits for the worker.
//
// A subclass whose run() uses the subclass's own members calls stop() in its
// own destructor: by the time this base destructor stops the job they are gone.
class WaitDialog : public Dialog
{
    Q_OBJECT

public:
    explicit WaitDialog(QWidget* parent = nullptr);
    ~WaitDialog() override;

    virtual void run();
    virtual void abortWork();

    void start();
    void stop();
    bool isStopped() const;

public slots:
    void reject() override;

signals:
    void workFinished();

protected:
    // Called by start() on the window's thread just before the worker starts.
    virtual void prepare() {}
    void closeEvent(QCloseEvent* event) override;

protected slots:
    void onClose();

private:
    void relayClose();

    WaitThread* m_worker = nullptr;
    // Bumped whenever a worker has been stopped and joined; a workFinished() stamped with an
    // older value belongs to a job that no longer counts.
    std::atomic<std::uint64_t> m_job{0};
};

} // namespace orvane
