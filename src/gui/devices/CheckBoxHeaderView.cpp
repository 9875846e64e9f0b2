#include "CheckBoxHeaderView.h"

#include <QCheckBox>
#include <QDebug>

CheckBoxHeaderView::CheckBoxHeaderView(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_checkBox(new QCheckBox(this))
{
    setSectionsClickable(true);
    m_checkBox->setObjectName(QStringLiteral("headerCheckBox"));
    m_checkBox->adjustSize();
}

void CheckBoxHeaderView::onSectionResized(int logicalIndex, int oldSize, int newSize)
{
    qDebug() << "onSectionResized " << logicalIndex << oldSize << newSize;
    if (logicalIndex == 0)
        placeCheckBox();
}

void CheckBoxHeaderView::updateGeometries()
{
    // The base keeps the header's own scrolling and section sizes right; the
    // box only has to follow section 0 afterwards.
    QHeaderView::updateGeometries();
    placeCheckBox();
}

void CheckBoxHeaderView::placeCheckBox()
{
    const int x = sectionViewportPosition(0) + (sectionSize(0) - m_checkBox->width()) / 2;
    m_checkBox->move(x, 5);
}
