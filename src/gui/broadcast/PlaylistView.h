#pragma once

#include <QListWidget>

namespace orvane {

// The play list's inner list: a QListWidget that moves drags as a plain
// QListView does.
class PlaylistView : public QListWidget
{
    Q_OBJECT
public:
    explicit PlaylistView(QWidget* parent = nullptr);

protected:
    void dragMoveEvent(QDragMoveEvent* event) override;
};

} // namespace orvane
