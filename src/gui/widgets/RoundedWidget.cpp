#include "RoundedWidget.h"

#include <QPaintEvent>
#include <QPainter>

namespace orvane {

namespace {
QColor colorFromRgb(quint32 rgb, int alpha)
{
    return QColor((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff, alpha);
}
} // namespace

RoundedWidget::RoundedWidget(QWidget* parent) : QWidget(parent) {}

void RoundedWidget::setBackgroundColor(const QColor& color)
{
    m_backgroundColor = color;
    update();
}

void RoundedWidget::setBackgroundColor(quint32 rgb, int alpha)
{
    setBackgroundColor(colorFromRgb(rgb, alpha));
}

void RoundedWidget::setBorder(int width, int radius, quint32 rgb, int alpha)
{
    m_borderWidth = width;
    m_radius = radius;
    m_borderColor = colorFromRgb(rgb, alpha);
    update();
}

void RoundedWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintBackground(painter);
}

void RoundedWidget::paintBackground(QPainter& painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_backgroundColor);
    painter.drawRoundedRect(rect(), m_radius, m_radius);
    // A zero-width QPen is Qt's cosmetic one-pixel pen, so width 0 must mean no stroke at all.
    if (m_borderWidth > 0) {
        painter.setPen(QPen(m_borderColor, m_borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(rect(), m_radius, m_radius);
    }
    painter.restore();
}

} // namespace orvane
