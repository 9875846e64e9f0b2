#include "Dialog.h"

Dialog::Dialog(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
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
