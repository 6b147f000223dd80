#ifndef PACKAGESEARCH_H
#define PACKAGESEARCH_H

#include "catalogueerror.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>

struct sqlite3;

// A package-name search on an open catalogue connection: the statement that
// SearchStatement builds for the keyword, run through the connection's own SQLite handle,
// its rows read whole, each cell as SQLite gave it (the id an integer, the name a text).
class PackageSearch
{
public:
    enum class Result { Rows, Failed, TooLarge, Stopped };
    using StopFn = std::function<bool()>;

    // keyword: trimmed and not empty.
    PackageSearch(sqlite3 *db, const QString &keyword);

    // The statement as it runs; known before run().
    QString statement() const { return text; }
    // Runs the statement and reads its rows, row after row, titles.size() cells each. No
    // cell may be longer than maxCellChars and all cells together no larger than maxBytes
    // (TooLarge); stop is asked between rows.
    Result run(int maxCellChars, qint64 maxBytes, const StopFn &stop = {});

    QStringList titles() const { return columns; }
    const QVector<QVariant> &cells() const { return values; }
    QVector<QVariant> takeCells() { return std::move(values); }
    CatalogueError error() const { return failure; }

private:
    sqlite3 *const db;
    const QString text;
    QStringList columns;
    QVector<QVariant> values;
    CatalogueError failure;
};

#endif // PACKAGESEARCH_H
