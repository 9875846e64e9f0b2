#pragma once

#include <QTableView>

namespace orvane {

// The device table: a plain table view that copies the selected cells to the
// clipboard as tab-separated text on Ctrl+C.
class CopyingTableView : public QTableView
{
    Q_OBJECT

public:
    explicit CopyingTableView(QWidget* parent = nullptr);

    // The selected cells, rows by newlines, columns by tabs, the gaps between
    // selected columns kept as extra tabs so that a spreadsheet lines them up;
    // a cell without text copies as "!". Empty when nothing is selected.
    QString copySelection() const;
    // The same text for any set of cells, in any order.
    static QString copyText(QModelIndexList indexes);

    void reset() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace orvane
