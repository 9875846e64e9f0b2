#pragma once

#include "Dialog.h"

class QLabel;
class QPushButton;

namespace orvane {

// Explains that the program may not capture frames yet; Ok asks for the
// permission, Cancel goes on without it.
class CapturePermissionDialog : public Dialog
{
    Q_OBJECT

public:
    explicit CapturePermissionDialog(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;

    struct Outcome
    {
        bool granted = false;
        QString reason; // why not, in plain words
    };

    // The start-up step: when capture is not permitted, ask, grant on Ok and
    // tell the operator what to do next. Start-up goes on whatever happens.
    static void checkAtStartup(const QString& rememberedAdapter);
    // Asks, grants on Ok and tells what happened, with the command to run by
    // hand when it failed.
    static void askAndGrant(QWidget* parent);
    // Runs the grant command for program and waits with the event loop running.
    static Outcome grant(const QString& program);
    // What the operator reads after a grant of program.
    static QString outcomeText(const Outcome& outcome, const QString& program);

private:
    QLabel* m_label;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
};

} // namespace orvane
