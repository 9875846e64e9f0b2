#include "ProgressDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <climits>
#include <cmath>

namespace {
constexpr int DialogWidth = 300;
constexpr int DialogHeight = 60;
} // namespace

ProgressDialog::ProgressDialog(QWidget* parent)
    : WaitDialog(parent), m_label(new QLabel(this)), m_progressBar(new QProgressBar(this))
{
    // An empty range makes the bar a busy indicator: jobs rarely know how far they are.
    m_progressBar->setRange(0, 0);
    connect(this, &ProgressDialog::setProgressQueued, this, &ProgressDialog::setProgress);
    connect(this, &ProgressDialog::setMessageQueued, this, &ProgressDialog::setMessage);
    resize(DialogWidth, DialogHeight);
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

void ProgressDialog::resizeEvent(QResizeEvent* event)
{
    WaitDialog::resizeEvent(event);
    const int w = width();
    m_label->setGeometry(5, 10, w - 10, 30);
    m_progressBar->setGeometry(5, 40, w - 10, 10);
}
