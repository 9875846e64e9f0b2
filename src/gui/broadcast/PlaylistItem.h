#pragma once

#include <QWidget>

class QLabel;

namespace orvane {

// One play-list file: its name (the full path as tool tip) and duration, red while it plays.
class PlaylistItem : public QWidget
{
    Q_OBJECT
public:
    PlaylistItem(const QString& name, const QString& path, const QString& duration,
                         QWidget* parent = nullptr);

    void setPlaying(bool playing);
    bool isPlaying() const { return m_playing; }
    QLabel* nameLabel() const { return m_name; }
    QLabel* durationLabel() const { return m_duration; }

private:
    QLabel* m_name;
    QLabel* m_duration;
    bool m_playing = false;
};

} // namespace orvane
