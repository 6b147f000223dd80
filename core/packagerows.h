#ifndef PACKAGEROWS_H
#define PACKAGEROWS_H

#include "catalogueerror.h"

#include <QVariant>
#include <QVector>

#include <cstdint>
#include <functional>
#include <vector>

struct sqlite3;

// The rows of a file-name search: for each package id the file search found, in order, the
// package's id, its name as name-ver-rel.arch and an empty path cell (NULL until worked
// out). A dense set of ids is read in one walk over their range, a sparse one package by
// package; an id with no package row gives no row, as a join would.
class PackageRows
{
public:
    enum class Result { Done, Failed, TooLarge };

    PackageRows(sqlite3 *db, int maxCellChars, qint64 maxBytes);
    Result read(const std::vector<uint32_t> &ids, QVector<QVariant> &cells);
    CatalogueError error() const { return failure; }

private:
    Result readRange(const std::vector<uint32_t> &ids, QVector<QVariant> &cells);
    Result readEach(const std::vector<uint32_t> &ids, QVector<QVariant> &cells);
    Result add(struct sqlite3_stmt *row, QVector<QVariant> &cells);
    Result fail(int code);

    sqlite3 *const db;
    const int maxCellChars;
    const qint64 maxBytes;
    qint64 bytes = 0;
    CatalogueError failure;
};

#endif // PACKAGEROWS_H
