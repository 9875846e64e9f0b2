#include "PixmapButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace orvane {

PixmapButton::PixmapButton(QWidget* parent) : RoundedWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void PixmapButton::setPixmaps(const QPixmap& normal, const QPixmap& alternate)
{
    m_normal = normal;
    m_alternatePixmap = alternate;
    update();
}

void PixmapButton::setAlternate(bool alternate)
{
    m_alternate = alternate;
    update();
}

void PixmapButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintBackground(painter);
    const QPixmap& pixmap = m_alternate ? m_alternatePixmap : m_normal;
    if (pixmap.isNull())
        return;
    // A high-DPI picture is drawn at its logical size, as a plain one is.
    const QSize size = pixmap.size() / pixmap.devicePixelRatio();
    painter.drawPixmap((width() - size.width()) / 2, (height() - size.height()) / 2, pixmap);
}

void PixmapButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void PixmapButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    emit clicked();
}

} // namespace orvane
