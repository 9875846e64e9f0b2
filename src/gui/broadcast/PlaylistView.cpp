#include "PlaylistView.h"

namespace orvane {

PlaylistView::PlaylistView(QWidget* parent) : QListWidget(parent) {}

void PlaylistView::dragMoveEvent(QDragMoveEvent* event)
{
    QListView::dragMoveEvent(event);
}

} // namespace orvane
