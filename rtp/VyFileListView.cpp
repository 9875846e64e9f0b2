#include "VyFileListView.h"

VyFileListView::VyFileListView(QWidget* parent) : QListWidget(parent) {}

void VyFileListView::dragMoveEvent(QDragMoveEvent* event)
{
    QListView::dragMoveEvent(event);
}
