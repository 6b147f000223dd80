#include "tablecopy.h"

#include <QItemSelectionModel>
#include <QTableView>

#include <algorithm>

QString selectedRowsAsText(const QTableView *table)
{
    const QAbstractItemModel *model = table->model();
    const QItemSelectionModel *selection = table->selectionModel();
    if (!model || !selection) {
        return QString();
    }
    QList<int> rows;
    for (const QModelIndex &index : selection->selectedRows())
        rows << index.row();
    return rowsAsText(table, rows);
}

QString rowsAsText(const QTableView *table, QList<int> rows)
{
    const QAbstractItemModel *model = table->model();
    if (!model) {
        return QString();
    }
    std::sort(rows.begin(), rows.end());

    QString text;
    for (int row : rows) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column) {
            if (!table->isColumnHidden(column)) {
                cells << model->index(row, column).data().toString();
            }
        }
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}
