#pragma once

#include "WaitDialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace orvane {

// A job dialog with a message line and a busy bar. The job updates both from its
// worker thread by emitting setMessageQueued and setProgressQueued.
class ProgressDialog : public WaitDialog
{
    Q_OBJECT

public:
    explicit ProgressDialog(QWidget* parent = nullptr);

    // Hidden unless a job can be cancelled; pressing it calls cancelJob().
    QPushButton* cancelButton() const { return m_cancelButton; }
    void setCancellable(bool cancellable);
    // Rejects the dialog, which stops the job; a job that can end early with
    // what it has done so far does that instead.
    virtual void cancelJob();
    QString message() const;

public slots:
    void setMessage(const QString& text);
    void setProgress(float fraction);

signals:
    void setProgressQueued(float fraction);
    void setMessageQueued(const QString& text);

private:
    QLabel* m_label;
    QProgressBar* m_progressBar;
    QPushButton* m_cancelButton;
    QWidget* m_buttons;
};

} // namespace orvane
