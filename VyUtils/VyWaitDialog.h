#pragma once

#include "VyDialog.h"

#include <atomic>
#include <cstdint>

class VyWaitThread;

// A modal dialog that runs a job on a worker thread and closes itself accepted
// when the job emits _close(). Closing it (Esc, close button) stops the job and
// rejects it.
//
// Callers call start() and then exec(). run() executes on the worker and must
// poll isStopped(); a blocking call in it must be interruptible by abortWork(),
// which runs on the user-interface thread before stop() waits for the worker.
//
// A subclass whose run() uses the subclass's own members calls stop() in its
// own destructor: by the time this base destructor stops the job they are gone.
class VyWaitDialog : public VyDialog
{
    Q_OBJECT

public:
    explicit VyWaitDialog(QWidget* parent = nullptr);
    ~VyWaitDialog() override;

    virtual void run();
    virtual void abortWork();

    void start();
    void stop();
    bool isStopped() const;

public slots:
    void reject() override;

signals:
    void _close();

protected:
    void closeEvent(QCloseEvent* event) override;

protected slots:
    void onClose();

private:
    void relayClose();

    VyWaitThread* m_worker = nullptr;
    // Bumped whenever a worker has been stopped and joined; a _close() stamped with an
    // older value belongs to a job that no longer counts.
    std::atomic<std::uint64_t> m_job{0};
};
