#include "Dialog.h"

#include <QScreen>

namespace orvane {

Dialog::Dialog(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

void Dialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Sized for a large screen at scale 1, a dialog may not fit a laptop at a
    // scale factor of 2: keep it within the screen so that its buttons stay
    // reachable.
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize room = available.size();
    if (minimumSize().boundedTo(room) != minimumSize())
        setMinimumSize(minimumSize().boundedTo(room));
    if (size() != size().boundedTo(room))
        resize(size().boundedTo(room));
    QRect frame = frameGeometry();
    if (!available.contains(frame)) {
        frame.moveRight(qMin(frame.right(), available.right()));
        frame.moveBottom(qMin(frame.bottom(), available.bottom()));
        frame.moveLeft(qMax(frame.left(), available.left()));
        frame.moveTop(qMax(frame.top(), available.top()));
        move(frame.topLeft());
    }
}

void Dialog::centerOn(QWidget* widget)
{
    if (!widget)
        return;
    // A dialog is a window and moves in screen coordinates; a child widget's geometry
    // is relative to its parent, so take its place on the screen instead.
    const QPoint topLeft =
        widget->isWindow() ? widget->geometry().topLeft() : widget->mapToGlobal(QPoint(0, 0));
    move(topLeft.x() + (widget->width() - width()) / 2, topLeft.y() + (widget->height() - height()) / 2);
}

} // namespace orvane
