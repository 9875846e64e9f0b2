#include "CopyingTableView.h"

#include <QApplication>
#include <QClipboard>
#include <QDebug>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>

namespace orvane {

CopyingTableView::CopyingTableView(QWidget* parent) : QTableView(parent) {}

void CopyingTableView::reset()
{
    QTableView::reset();
    // The header's sections start over from offset 0 while the scroll bar keeps
    // its place; put them back in step so that headers stay over their columns.
    horizontalHeader()->setOffset(horizontalScrollBar()->value());
}

void CopyingTableView::keyPressEvent(QKeyEvent* event)
{
    qDebug() << "key event " << event->key() << event->modifiers();
    if (event->key() == Qt::Key_C && event->modifiers() == Qt::ControlModifier) {
        const QString text = copySelection();
        if (!text.isEmpty())
            QApplication::clipboard()->setText(text);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

QString CopyingTableView::copySelection() const
{
    return selectionModel() ? copyText(selectionModel()->selectedIndexes()) : QString();
}

QString CopyingTableView::copyText(QModelIndexList indexes)
{
    if (indexes.isEmpty())
        return QString();
    std::sort(indexes.begin(), indexes.end(), [](const QModelIndex& a, const QModelIndex& b) {
        return a.row() != b.row() ? a.row() < b.row() : a.column() < b.column();
    });
    int firstColumn = indexes.first().column();
    int lastColumn = firstColumn;
    for (const QModelIndex& index : qAsConst(indexes)) {
        firstColumn = qMin(firstColumn, index.column());
        lastColumn = qMax(lastColumn, index.column());
    }
    qDebug() << "col -> [" << firstColumn << "," << lastColumn << "]";

    QString text;
    int previousRow = indexes.first().row();
    int previousColumn = firstColumn;
    for (const QModelIndex& index : qAsConst(indexes)) {
        if (index.row() != previousRow) {
            text += QLatin1Char('\n');
            previousRow = index.row();
            previousColumn = firstColumn;
        }
        text += QString(index.column() - previousColumn, QLatin1Char('\t'));
        previousColumn = index.column();
        const QVariant value = index.data(Qt::DisplayRole);
        text += value.type() == QVariant::String ? value.toString() : QStringLiteral("!");
        qDebug() << "copy row" << index.row() << "column" << index.column();
    }
    return text;
}

} // namespace orvane
