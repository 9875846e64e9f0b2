#include "VyPixmapButton.h"

#include <QMouseEvent>
#include <QPainter>

VyPixmapButton::VyPixmapButton(QWidget* parent) : VyWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void VyPixmapButton::setPixmaps(const QPixmap& normal, const QPixmap& alternate)
{
    m_normal = normal;
    m_alternatePixmap = alternate;
    update();
}

void VyPixmapButton::setAlternate(bool alternate)
{
    m_alternate = alternate;
    update();
}

void VyPixmapButton::paintEvent(QPaintEvent*)
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

void VyPixmapButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void VyPixmapButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    emit clicked();
}
