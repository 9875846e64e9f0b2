#include "VyCapturePermissionDialog.h"

#include "OrvaneAdapterList.h"
#include "VyAlertDialog.h"
#include "VyCapturePermission.h"
#include "VyLanguage.h"
#include "VyLog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

VyCapturePermissionDialog::VyCapturePermissionDialog(QWidget* parent)
    : VyDialog(parent), m_label(new QLabel(this)), m_okButton(new QPushButton(vyTr("Ok"), this)),
      m_cancelButton(new QPushButton(vyTr("Cancel"), this))
{
    setObjectName(QStringLiteral("capturePermissionDialog"));
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

void VyCapturePermissionDialog::setText(const QString& text)
{
    m_label->setText(text);
}

QString VyCapturePermissionDialog::text() const
{
    return m_label->text();
}

int VyCapturePermissionDialog::grant(const QString& program)
{
    const int code = QProcess::execute(VyCapturePermission::grantProgram(),
                                       VyCapturePermission::grantArguments(program));
    qDebug("%s run %d", qPrintable(VyCapturePermission::grantProgram()), code);
    return code;
}

void VyCapturePermissionDialog::checkAtStartup(const QString& rememberedAdapter)
{
    const std::unique_ptr<OrvaneAdapterList> adapters = OrvaneAdapterList::listAdapters();
    const OrvaneAdapter* adapter = adapters ? adapters->choose(rememberedAdapter) : nullptr;
    QString reason;
    if (!VyCapturePermission::isMissing(adapter, &reason))
        return;
    VYLOG("capture not permitted: %s\n", qPrintable(reason));

    VyCapturePermissionDialog dialog;
    dialog.setText(vyTr("The program needs permission to capture network frames. Press Ok to grant it "
                        "(administrator password required), then restart the program."));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString program = QCoreApplication::applicationFilePath();
    const int code = grant(program);
    VYLOG("%s %s run %d\n", qPrintable(VyCapturePermission::grantProgram()),
          qPrintable(VyCapturePermission::grantArguments(program).join(QLatin1Char(' '))), code);

    VyAlertDialog notice;
    // A refused password must not read like success.
    notice.setText(code == 0 ? vyTr("Please restart the program") : vyTr("The permission could not be granted"));
    notice.resize(350, 100);
    notice.exec();
}
