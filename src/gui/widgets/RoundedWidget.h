#pragma once

#include <QColor>
#include <QWidget>

class QPainter;

namespace orvane {

// A widget that paints its own rounded, optionally bordered background, so that
// pages and overlays look the same whatever style the desktop uses.
class RoundedWidget : public QWidget
{
    Q_OBJECT

public:
    explicit RoundedWidget(QWidget* parent = nullptr);

    void setBackgroundColor(const QColor& color);
    void setBackgroundColor(quint32 rgb, int alpha);
    void setBorder(int width, int radius, quint32 rgb, int alpha);

    QColor backgroundColor() const { return m_backgroundColor; }
    QColor borderColor() const { return m_borderColor; }
    int borderWidth() const { return m_borderWidth; }
    int radius() const { return m_radius; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void paintBackground(QPainter& painter);

private:
    QColor m_backgroundColor{255, 255, 255, 0};
    int m_borderWidth = 0;
    int m_radius = 0;
    QColor m_borderColor{255, 255, 255, 0};
};

} // namespace orvane
