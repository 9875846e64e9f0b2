#pragma once

#include "Dialog.h"

class QLabel;
class QPushButton;

// Explains that the program may not capture frames yet; Ok asks for the
// permission, Cancel goes on without it.
class CapturePermissionDialog : public Dialog
{
    Q_OBJECT

public:
    explicit CapturePermissionDialog(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;

    // The start-up step: when capture is not permitted, ask, grant on Ok and
    // tell the operator what to do next. Start-up goes on whatever happens.
    static void checkAtStartup(const QString& rememberedAdapter);
    // Runs the grant command for program and waits; its exit code, or -1 when it could not run.
    static int grant(const QString& program);

private:
    QLabel* m_label;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
};
