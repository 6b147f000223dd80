#include "packagerows.h"
#include "searchstatement.h"

#include <QString>

#include <sqlite3.h>

#include <memory>
#include <string>

namespace {

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

Statement prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    return Statement(statement, sqlite3_finalize);
}

// A range at most this many times the number of ids is walked in one statement.
const qint64 denseFactor = 8;

} // namespace

PackageRows::PackageRows(sqlite3 *db, int maxCellChars, qint64 maxBytes)
    : db(db)
    , maxCellChars(maxCellChars)
    , maxBytes(maxBytes)
{
}

PackageRows::Result PackageRows::read(const std::vector<uint32_t> &ids, QVector<QVariant> &cells)
{
    if (ids.empty()) {
        return Result::Done;
    }
    const qint64 range = qint64(ids.back()) - qint64(ids.front()) + 1;
    return range <= denseFactor * qint64(ids.size()) ? readRange(ids, cells) : readEach(ids, cells);
}

PackageRows::Result PackageRows::readRange(const std::vector<uint32_t> &ids, QVector<QVariant> &cells)
{
    const Statement rows = prepare(db, SearchStatement::packagesInRange);
    if (!rows) {
        return fail(sqlite3_errcode(db));
    }
    sqlite3_bind_int64(rows.get(), 1, ids.front());
    sqlite3_bind_int64(rows.get(), 2, ids.back());
    auto wanted = ids.begin();
    int rc;
    while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
        const sqlite3_int64 id = sqlite3_column_int64(rows.get(), 0);
        while (wanted != ids.end() && *wanted < id)
            ++wanted;
        if (wanted == ids.end()) {
            break;
        }
        if (*wanted != id) {
            continue;
        }
        const Result added = add(rows.get(), cells);
        if (added != Result::Done) {
            return added;
        }
    }
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? Result::Done : fail(rc);
}

PackageRows::Result PackageRows::readEach(const std::vector<uint32_t> &ids, QVector<QVariant> &cells)
{
    const Statement row = prepare(db, SearchStatement::packageById);
    if (!row) {
        return fail(sqlite3_errcode(db));
    }
    for (const uint32_t id : ids) {
        sqlite3_reset(row.get());
        sqlite3_bind_int64(row.get(), 1, id);
        const int rc = sqlite3_step(row.get());
        if (rc == SQLITE_DONE) {
            continue;
        }
        if (rc != SQLITE_ROW) {
            return fail(rc);
        }
        const Result added = add(row.get(), cells);
        if (added != Result::Done) {
            return added;
        }
    }
    return Result::Done;
}

// One row's three cells, within the bounds on a cell and on all rows; the package cell is
// name-ver-rel.arch.
PackageRows::Result PackageRows::add(sqlite3_stmt *row, QVector<QVariant> &cells)
{
    thread_local std::string joined;
    joined.clear();
    for (int column = 1; column <= 4; ++column) {
        const char *text = reinterpret_cast<const char *>(sqlite3_column_text(row, column));
        const size_t length = size_t(sqlite3_column_bytes(row, column));
        // UTF-8 takes at least one byte a character, and at most four a UTF-16 pair of two.
        if (joined.size() + length > 4 * size_t(maxCellChars)) {
            return Result::TooLarge;
        }
        if (column > 1) {
            joined += column == 4 ? '.' : '-';
        }
        if (text) {
            joined.append(text, length);
        }
    }
    const QString name = QString::fromUtf8(joined.data(), int(joined.size()));
    bytes += 2 * qint64(name.size()) + 3 * qint64(sizeof(QVariant));
    if (name.size() > maxCellChars || bytes > maxBytes) {
        return Result::TooLarge;
    }
    cells << QVariant(qlonglong(sqlite3_column_int64(row, 0))) << QVariant(name) << QVariant();
    return Result::Done;
}

PackageRows::Result PackageRows::fail(int code)
{
    failure = CatalogueError(QStringLiteral("Unable to fetch row"), QString::fromUtf8(sqlite3_errmsg(db)),
                             QString::number(code & 0xff));
    return Result::Failed;
}
