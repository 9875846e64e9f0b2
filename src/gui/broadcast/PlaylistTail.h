#pragma once

#include <QWidget>

class QLabel;

namespace orvane {

// Last row of the play list: the add button.
class PlaylistTail : public QWidget
{
    Q_OBJECT
public:
    static constexpr int IconWidth = 18;
    static constexpr int BoxSize = 20;

    explicit PlaylistTail(QWidget* parent = nullptr);
    QLabel* iconLabel() const { return m_icon; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_icon;
};

} // namespace orvane
