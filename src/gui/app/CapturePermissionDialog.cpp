#include "CapturePermissionDialog.h"

#include "AdapterList.h"
#include "AlertDialog.h"
#include "CapturePermission.h"
#include "Language.h"
#include "LogFile.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace orvane {

CapturePermissionDialog::CapturePermissionDialog(QWidget* parent)
    : Dialog(parent), m_label(new QLabel(this)), m_okButton(new QPushButton(translated("Ok"), this)),
      m_cancelButton(new QPushButton(translated("Cancel"), this))
{
    setObjectName(QStringLiteral("capturePermissionDialog"));
    setWindowTitle(translated("Capture permission"));
    m_label->setAlignment(Qt::AlignCenter);
    // The explanation is longer than the one line the dialog was made for.
    m_label->setWordWrap(true);
    m_okButton->setMinimumWidth(100);
    m_cancelButton->setMinimumWidth(100);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addLayout(buttons);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    resize(420, 130);
}

void CapturePermissionDialog::setText(const QString& text)
{
    m_label->setText(text);
}

QString CapturePermissionDialog::text() const
{
    return m_label->text();
}

CapturePermissionDialog::Outcome CapturePermissionDialog::grant(const QString& program)
{
    Outcome outcome;
    const QString pkexec = QStandardPaths::findExecutable(CapturePermission::grantProgram());
    if (pkexec.isEmpty()) {
        outcome.reason = translated("pkexec is not installed (Debian package pkexec or policykit-1)");
        return outcome;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QEventLoop loop;
    // The password prompt may take a while; the windows keep painting meanwhile.
    connect(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop,
            &QEventLoop::quit);
    connect(&process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            loop.quit();
    });
    process.start(pkexec, CapturePermission::grantArguments(program));
    if (process.state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    const QString errorText = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    ORVANE_LOG("%s %s: exit %d %s\n", qPrintable(pkexec),
          qPrintable(CapturePermission::grantArguments(program).join(QLatin1Char(' '))), process.exitCode(),
          qPrintable(errorText));
    if (process.error() == QProcess::FailedToStart) {
        outcome.reason = translated("pkexec could not be started: %1").arg(process.errorString());
        return outcome;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        outcome.reason = translated("pkexec ended abnormally");
        return outcome;
    }
    switch (process.exitCode()) {
    case 0:
        outcome.granted = true;
        break;
    case 126:
        // pkexec's own code for a dismissed or refused password prompt.
        outcome.reason = translated("the administrator password was not given");
        break;
    case 127:
        outcome.reason =
            errorText.isEmpty() ? translated("not authorised, or no authentication agent is running") : errorText;
        break;
    default:
        outcome.reason =
            errorText.isEmpty() ? translated("setcap ended with code %1").arg(process.exitCode()) : errorText;
        break;
    }
    return outcome;
}

QString CapturePermissionDialog::outcomeText(const Outcome& outcome, const QString& program)
{
    if (outcome.granted)
        return translated("Please restart the program");
    // One line per table entry: a language file has no way to write a line break.
    return QStringLiteral("%1\n%2\n%3")
        .arg(translated("The permission could not be granted: %1.").arg(outcome.reason),
             translated("To grant it by hand, run:"), CapturePermission::manualCommand(program));
}

void CapturePermissionDialog::askAndGrant(QWidget* parent)
{
    CapturePermissionDialog dialog(parent);
    dialog.setText(translated("The program needs permission to capture network frames. Press Ok to grant it "
                        "(administrator password required), then restart the program."));
    if (parent)
        dialog.centerOn(parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString program = QCoreApplication::applicationFilePath();
    const Outcome outcome = grant(program);

    AlertDialog notice(parent);
    notice.setWindowTitle(dialog.windowTitle());
    notice.setText(outcomeText(outcome, program));
    // The command must be copyable.
    for (QLabel* label : notice.findChildren<QLabel*>()) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setWordWrap(true);
    }
    notice.resize(outcome.granted ? 350 : 640, outcome.granted ? 100 : 180);
    if (parent)
        notice.centerOn(parent);
    notice.exec();
}

void CapturePermissionDialog::checkAtStartup(const QString& rememberedAdapter)
{
    const std::unique_ptr<AdapterList> adapters = AdapterList::listAdapters();
    const Adapter* adapter = adapters ? adapters->choose(rememberedAdapter) : nullptr;
    QString reason;
    if (!CapturePermission::isMissing(adapter, &reason))
        return;
    ORVANE_LOG("capture not permitted: %s\n", qPrintable(reason));
    askAndGrant(nullptr);
}

} // namespace orvane
