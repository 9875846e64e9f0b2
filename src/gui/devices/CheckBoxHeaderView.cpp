#include "CheckBoxHeaderView.h"

#include <QCheckBox>
#include <QDebug>

namespace orvane {

CheckBoxHeaderView::CheckBoxHeaderView(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_checkBox(new QCheckBox(viewport()))
{
    // On the viewport, the box scrolls with the sections and is clipped with
    // them instead of staying put over whatever scrolls under it.
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

void CheckBoxHeaderView::reset()
{
    // A new model or a new search recreates the sections; the box follows.
    QHeaderView::reset();
    placeCheckBox();
}

void CheckBoxHeaderView::placeCheckBox()
{
    m_checkBox->setVisible(count() > 0 && !isSectionHidden(0));
    const int x = sectionViewportPosition(0) + (sectionSize(0) - m_checkBox->width()) / 2;
    m_checkBox->move(x, qMax(0, (viewport()->height() - m_checkBox->height()) / 2));
}

} // namespace orvane
