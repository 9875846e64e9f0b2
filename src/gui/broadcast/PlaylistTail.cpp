#include "PlaylistTail.h"

#include <QLabel>
#include <QPixmap>

namespace orvane {

PlaylistTail::PlaylistTail(QWidget* parent) : QWidget(parent), m_icon(new QLabel(this))
{
    setObjectName(QStringLiteral("PlaylistTail"));
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QStringLiteral("#PlaylistTail{background-color:#00ffffff}"));
    m_icon->setPixmap(
        QPixmap(QStringLiteral(":/resources/add.png")).scaledToWidth(IconWidth, Qt::SmoothTransformation));
    m_icon->setAlignment(Qt::AlignCenter);
    m_icon->setCursor(Qt::PointingHandCursor);
    m_icon->resize(BoxSize, BoxSize);
}

void PlaylistTail::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_icon->move((width() - BoxSize) / 2, (height() - BoxSize) / 2);
}

} // namespace orvane
