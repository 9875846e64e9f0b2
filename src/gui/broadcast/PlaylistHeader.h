#pragma once

#include <QWidget>

class QLabel;

namespace orvane {

// First row of the play list: the column titles.
class PlaylistHeader : public QWidget
{
    Q_OBJECT
public:
    explicit PlaylistHeader(QWidget* parent = nullptr);

    QLabel* nameLabel() const { return m_name; }
    QLabel* durationLabel() const { return m_duration; }

private:
    QLabel* m_name;
    QLabel* m_duration;
};

} // namespace orvane
