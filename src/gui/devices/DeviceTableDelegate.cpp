#include "DeviceTableDelegate.h"

#include "DeviceTableModel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace orvane {

DeviceTableDelegate::DeviceTableDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QRect DeviceTableDelegate::checkBoxRect(const QStyleOptionViewItem& option)
{
    QStyleOptionButton button;
    const QRect indicator = QApplication::style()->subElementRect(QStyle::SE_CheckBoxIndicator, &button);
    const QRect& cell = option.rect;
    return QRect(cell.x() + cell.width() / 2 - indicator.width() / 2,
                 cell.y() + cell.height() / 2 - indicator.height() / 2, indicator.width(), indicator.height());
}

void DeviceTableDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const
{
    if (index.column() == DeviceTableModel::CheckColumn) {
        QStyleOptionButton button;
        button.state = QStyle::State_Enabled;
        button.state |= index.data(Qt::UserRole).toBool() ? QStyle::State_On : QStyle::State_Off;
        button.rect = checkBoxRect(option);
        QApplication::style()->drawControl(QStyle::CE_CheckBox, &button, painter);
    }
    QStyledItemDelegate::paint(painter, option, index);
}

bool DeviceTableDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                            const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (index.column() != DeviceTableModel::CheckColumn)
        return QStyledItemDelegate::editorEvent(event, model, option, index);

    bool toggle = false;
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !checkBoxRect(option).contains(mouse->pos()))
            return QStyledItemDelegate::editorEvent(event, model, option, index);
        // A double click is two clicks already; toggling again would undo the first.
        if (event->type() == QEvent::MouseButtonDblClick)
            return true;
        toggle = true;
        break;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        toggle = key == Qt::Key_Space || key == Qt::Key_Select;
        break;
    }
    default:
        break;
    }
    if (!toggle)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    return model->setData(index, !index.data(Qt::UserRole).toBool(), Qt::UserRole);
}

} // namespace orvane
