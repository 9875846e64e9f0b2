#pragma once

#include "WaitDialog.h"

class QLabel;
class QProgressBar;

// A job dialog with a message line and a busy bar. The job updates both from its
// worker thread by emitting setMessageQueued and setProgressQueued.
class ProgressDialog : public WaitDialog
{
    Q_OBJECT

public:
    explicit ProgressDialog(QWidget* parent = nullptr);

public slots:
    void setMessage(const QString& text);
    void setProgress(float fraction);

signals:
    void setProgressQueued(float fraction);
    void setMessageQueued(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_label;
    QProgressBar* m_progressBar;
};
