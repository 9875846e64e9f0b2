#include "Toast.h"

#include "ToastView.h"

#include <QLabel>
#include <QTimer>

namespace orvane {

Toast::Toast(QObject* parent) : QObject(parent) {}

Toast::~Toast()
{
    hide();
}

QPoint Toast::placement(const QSize& parentSize, const QSize& viewSize, int position)
{
    const int pw = parentSize.width();
    const int ph = parentSize.height();
    const int vw = viewSize.width();
    const int vh = viewSize.height();

    int x = (pw - vw) / 2;
    if (position & Left)
        x = MarginX;
    else if (position & Right)
        x = pw - MarginX - vw;

    int y = ph - MarginY - vh;
    if (position & Top)
        y = MarginY;
    else if (position & VerticalCenter)
        y = (ph - vh) / 2;

    return QPoint(x, y);
}

void Toast::show(QWidget* parent, const QString& text, int position, int milliseconds)
{
    hide();
    // Without a widget to sit over, the view would become a window of its own.
    if (!parent)
        return;

    auto* view = new ToastView(parent, PaddingX, PaddingY);
    QLabel* label = view->label();
    label->setStyleSheet(QStringLiteral("QLabel{color:#%1};").arg(m_textColor, 6, 16, QLatin1Char('0')));
    label->setText(text);
    label->adjustSize();
    view->setBackgroundColor(m_backgroundColor);
    view->setBorder(1, 5, 0x000000, 0);
    view->resize(label->width() + 2 * PaddingX, label->height() + 2 * PaddingY);
    view->move(placement(parent->size(), view->size(), position));
    view->show();
    m_view = view;

    if (m_timer) {
        m_timer->stop();
        delete m_timer;
    }
    m_timer = new QTimer(this);
    // A coarse timer may fire up to 5% early, and the message must stay its full time.
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &Toast::invokeTimer, Qt::QueuedConnection);
    m_timer->setInterval(milliseconds);
    m_timer->start();
}

void Toast::hide()
{
    if (m_timer) {
        m_timer->stop();
        m_timer->deleteLater();
        m_timer = nullptr;
    }
    if (m_view) {
        m_view->setGeometry(0, 0, 0, 0);
        m_view->hide();
        delete m_view;
    }
    m_view = nullptr;
}

void Toast::invokeTimer()
{
    // The connection is queued, so the timeout of a toast that has since been
    // replaced can still arrive; the current timer is single-shot and so is
    // still active exactly when the call is not its own.
    if (m_timer && m_timer->isActive())
        return;
    hide();
}

} // namespace orvane
