#pragma once

#include "VyWaitDialog.h"

class QLabel;
class QProgressBar;

// A job dialog with a message line and a busy bar. The job updates both from its
// worker thread by emitting _setMessage and _setProgress.
class VyProgressDialog : public VyWaitDialog
{
    Q_OBJECT

public:
    explicit VyProgressDialog(QWidget* parent = nullptr);

public slots:
    void setMessage(const QString& text);
    void setProgress(float fraction);

signals:
    void _setProgress(float fraction);
    void _setMessage(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_label;
    QProgressBar* m_progressBar;
};
