#include "PlaylistView.h"

PlaylistView::PlaylistView(QWidget* parent) : QListWidget(parent) {}

void PlaylistView::dragMoveEvent(QDragMoveEvent* event)
{
    QListView::dragMoveEvent(event);
}
