#include "ProgressDialog.h"

#include "Language.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <climits>
#include <cmath>

namespace orvane {

ProgressDialog::ProgressDialog(QWidget* parent)
    : WaitDialog(parent), m_label(new QLabel(this)), m_progressBar(new QProgressBar(this)),
      m_cancelButton(new QPushButton(translated("Cancel"), this))
{
    // An empty range makes the bar a busy indicator: jobs rarely know how far they are.
    m_progressBar->setRange(0, 0);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    auto* buttons = new QDialogButtonBox(this);
    m_buttons = buttons;
    buttons->addButton(m_cancelButton, QDialogButtonBox::RejectRole);
    connect(m_cancelButton, &QPushButton::clicked, this, &ProgressDialog::cancelJob);
    // A layout, so that the system font and a scale factor size the dialog.
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_progressBar);
    layout->addWidget(buttons);
    buttons->hide();
    connect(this, &ProgressDialog::setProgressQueued, this, &ProgressDialog::setProgress);
    connect(this, &ProgressDialog::setMessageQueued, this, &ProgressDialog::setMessage);
    setMinimumWidth(320);
}

void ProgressDialog::setCancellable(bool cancellable)
{
    m_buttons->setVisible(cancellable);
}

void ProgressDialog::cancelJob()
{
    reject();
}

QString ProgressDialog::message() const
{
    return m_label->text();
}

void ProgressDialog::setMessage(const QString& text)
{
    m_label->setText(text);
}

void ProgressDialog::setProgress(float fraction)
{
    // A job computing its fraction from a zero total passes NaN or infinity; converting
    // that to int is undefined, so such a value leaves the bar as it is.
    const double percent = static_cast<double>(fraction) * 100;
    if (!std::isfinite(percent))
        return;
    m_progressBar->setValue(static_cast<int>(qBound<double>(INT_MIN, percent, INT_MAX)));
}

} // namespace orvane
