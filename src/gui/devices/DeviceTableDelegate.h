#pragma once

#include <QStyledItemDelegate>

namespace orvane {

// Draws the row check boxes of the device table's first column and toggles
// them on a click inside the box or on Space.
class DeviceTableDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit DeviceTableDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The indicator square, centred in the cell.
    static QRect checkBoxRect(const QStyleOptionViewItem& option);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
};

} // namespace orvane
