#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QSize>

class QTimer;
class QWidget;

namespace orvane {

class ToastView;

// A short message over a widget that disappears by itself. One toast object shows
// one message at a time; a new one replaces the old at once and gets its full time.
class Toast : public QObject
{
    Q_OBJECT

public:
    // Bits of the position argument of show(). Without a horizontal bit the toast is
    // centred horizontally; without a vertical bit it sits at the bottom.
    enum Position
    {
        Top = 1,
        VerticalCenter = 4,
        Left = 8,
        Right = 16,
        HorizontalCenter = 32,
    };

    static constexpr int MarginX = 10;
    static constexpr int MarginY = 10;
    static constexpr int PaddingX = 10;
    static constexpr int PaddingY = 5;

    explicit Toast(QObject* parent = nullptr);
    ~Toast() override;

    void show(QWidget* parent, const QString& text, int position, int milliseconds);
    void hide();

    ToastView* view() const { return m_view; }

    // Top-left corner of a view of viewSize inside a parent of parentSize.
    static QPoint placement(const QSize& parentSize, const QSize& viewSize, int position);

private slots:
    void invokeTimer();

private:
    // The view is a child of the widget it is shown over and dies with it.
    QPointer<ToastView> m_view;
    QTimer* m_timer = nullptr;
    QColor m_backgroundColor{0, 0, 0, 128};
    quint32 m_textColor = 0xffffff;
};

} // namespace orvane
