#pragma once

#include "DeviceRef.h"
#include "ProgressDialog.h"
#include "ProtocolClient.h"

#include <QList>
#include <atomic>

namespace orvane {

// The search job: one broadcast search, then only the accepted models, each
// device once, ordered by MAC. Says how many devices have answered so far.
// Cancel ends the search early and keeps what was found; closing the dialog
// (Esc, close button) drops it.
class SearchDialog : public ProgressDialog
{
    Q_OBJECT

public:
    SearchDialog(QWidget* parent, ProtocolClient* client);
    ~SearchDialog() override;

    void run() override;
    void abortWork() override;
    void cancelJob() override;

    // The records of the last run, also after a cancel.
    QList<DeviceRef> foundDevices() const { return m_found; }
    // What the last run met besides the devices it listed.
    ProtocolClient::SearchSummary summary() const { return m_summary; }

    // Whether Cancel ended the last run before its time.
    bool endedEarly() const { return m_finishEarly.load(); }

    int timeout() const { return m_timeout; }
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    bool alarmTest() const { return m_alarmTest != 0; }

signals:
    // Emitted on the searching thread; connected queued, so the label changes on the window's.
    void answeredQueued(int count);

protected:
    void prepare() override;

private:
    void showAnswered(int count);

    ProtocolClient* m_client;
    QList<DeviceRef> m_found;                // written by the worker, read after it has ended
    ProtocolClient::SearchSummary m_summary; // likewise
    int m_timeout;
    int m_alarmTest;
    std::atomic<bool> m_finishEarly{false};
    unsigned m_cancelsAtStart = 0; // noted on the window's thread as the search starts
};

} // namespace orvane
