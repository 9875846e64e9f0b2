#include "ToastView.h"

#include <QLabel>

namespace orvane {

ToastView::ToastView(QWidget* parent, int paddingX, int paddingY)
    : RoundedWidget(parent), m_label(new QLabel(this)), m_paddingX(paddingX), m_paddingY(paddingY)
{
}

void ToastView::resizeEvent(QResizeEvent* event)
{
    RoundedWidget::resizeEvent(event);
    m_label->setGeometry(m_paddingX, m_paddingY, m_label->width(), m_label->height());
}

} // namespace orvane
