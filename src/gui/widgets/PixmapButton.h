#pragma once

#include "RoundedWidget.h"

#include <QPixmap>

namespace orvane {

// A button drawn as one of two pictures, for toggles such as mute. It clicks on
// every release, even after the pointer left it while pressed.
class PixmapButton : public RoundedWidget
{
    Q_OBJECT

public:
    explicit PixmapButton(QWidget* parent = nullptr);

    void setPixmaps(const QPixmap& normal, const QPixmap& alternate);
    void setAlternate(bool alternate);
    bool isAlternate() const { return m_alternate; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_normal;
    QPixmap m_alternatePixmap;
    bool m_alternate = false;
};

} // namespace orvane
