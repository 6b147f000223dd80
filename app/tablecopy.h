#ifndef TABLECOPY_H
#define TABLECOPY_H

#include <QList>
#include <QString>

class QTableView;

// The selected rows of a table as text to paste into a terminal, a mail or a
// spreadsheet: one line a row, in table order, the visible columns separated by tabs.
QString selectedRowsAsText(const QTableView *table);
// The same for these rows, whatever the selection is now.
QString rowsAsText(const QTableView *table, QList<int> rows);

#endif // TABLECOPY_H
