#pragma once

#include <QThread>
#include <atomic>

namespace orvane {

class WaitDialog;

// The worker of one job: runs the dialog's run() once. The dialog owns it and
// deletes it only after it has ended.
class WaitThread : public QThread
{
    Q_OBJECT

public:
    explicit WaitThread(WaitDialog* dialog);

    void requestStop() { m_stop.store(true, std::memory_order_release); }
    bool isStopRequested() const { return m_stop.load(std::memory_order_acquire); }

protected:
    void run() override;

private:
    WaitDialog* m_dialog;
    std::atomic<bool> m_stop{false};
};

} // namespace orvane
