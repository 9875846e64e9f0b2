#include "VyToastView.h"

#include <QLabel>

VyToastView::VyToastView(QWidget* parent, int paddingX, int paddingY)
    : VyWidget(parent), m_label(new QLabel(this)), m_paddingX(paddingX), m_paddingY(paddingY)
{
}

void VyToastView::resizeEvent(QResizeEvent* event)
{
    VyWidget::resizeEvent(event);
    m_label->setGeometry(m_paddingX, m_paddingY, m_label->width(), m_label->height());
}
