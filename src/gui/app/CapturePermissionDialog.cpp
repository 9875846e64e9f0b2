#include "CapturePermissionDialog.h"

#include "AdapterList.h"
#include "AlertDialog.h"
#include "CapturePermission.h"
#include "Language.h"
#include "LogFile.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

CapturePermissionDialog::CapturePermissionDialog(QWidget* parent)
    : Dialog(parent), m_label(new QLabel(this)), m_okButton(new QPushButton(vyTr("Ok"), this)),
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

void CapturePermissionDialog::setText(const QString& text)
{
    m_label->setText(text);
}

QString CapturePermissionDialog::text() const
{
    return m_label->text();
}

int CapturePermissionDialog::grant(const QString& program)
{
    const int code = QProcess::execute(CapturePermission::grantProgram(),
                                       CapturePermission::grantArguments(program));
    qDebug("%s run %d", qPrintable(CapturePermission::grantProgram()), code);
    return code;
}

void CapturePermissionDialog::checkAtStartup(const QString& rememberedAdapter)
{
    const std::unique_ptr<AdapterList> adapters = AdapterList::listAdapters();
    const Adapter* adapter = adapters ? adapters->choose(rememberedAdapter) : nullptr;
    QString reason;
    if (!CapturePermission::isMissing(adapter, &reason))
        return;
    VYLOG("capture not permitted: %s\n", qPrintable(reason));

    CapturePermissionDialog dialog;
    dialog.setText(vyTr("The program needs permission to capture network frames. Press Ok to grant it "
                        "(administrator password required), then restart the program."));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString program = QCoreApplication::applicationFilePath();
    const int code = grant(program);
    VYLOG("%s %s run %d\n", qPrintable(CapturePermission::grantProgram()),
          qPrintable(CapturePermission::grantArguments(program).join(QLatin1Char(' '))), code);

    AlertDialog notice;
    // A refused password must not read like success.
    notice.setText(code == 0 ? vyTr("Please restart the program") : vyTr("The permission could not be granted"));
    notice.resize(350, 100);
    notice.exec();
}
