#include "cataloguequery.h"

#include <QCoreApplication>

#include <sqlite3.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("QSQLiteResult", text);
}

QVariant cell(sqlite3_stmt *stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, column));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, column)),
                                   sqlite3_column_bytes(stmt, column)));
    case SQLITE_NULL:
        return QVariant(QVariant::String);
    default:
        return QVariant(QString(reinterpret_cast<const QChar *>(sqlite3_column_text16(stmt, column)),
                                sqlite3_column_bytes16(stmt, column) / int(sizeof(QChar))));
    }
}

} // namespace

CatalogueQuery::CatalogueQuery(sqlite3 *db)
    : db(db)
{
}

CatalogueQuery::~CatalogueQuery()
{
    release();
}

void CatalogueQuery::release()
{
    if (stmt) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
    }
    bound.clear();
    names.clear();
    row.clear();
    firstPending = false;
}

void CatalogueQuery::fail(const char *what, int code)
{
    error = CatalogueError::fromSqlite(db, tr(what), code);
}

// The whole text is handed to SQLite, up to its first NUL; a second statement after the
// first is refused rather than left unrun.
bool CatalogueQuery::prepare(const QString &statement)
{
    release();
    error = CatalogueError();
    if (!db) {
        error = CatalogueError(tr("Unable to execute statement"), tr("Driver not loaded"));
        return false;
    }
    const void *tail = nullptr;
    const int rc = sqlite3_prepare16_v2(db, statement.utf16(), int((statement.size() + 1) * sizeof(QChar)), &stmt,
                                        &tail);
    if (rc != SQLITE_OK) {
        fail("Unable to execute statement", rc);
        release();
        return false;
    }
    if (tail && !QString(reinterpret_cast<const QChar *>(tail)).trimmed().isEmpty()) {
        fail("Unable to execute multiple statements at a time", SQLITE_MISUSE);
        release();
        return false;
    }
    return true;
}

void CatalogueQuery::addBindValue(const QVariant &value)
{
    bound << value;
}

bool CatalogueQuery::exec(const QString &statement)
{
    return prepare(statement) && exec();
}

bool CatalogueQuery::exec()
{
    if (!stmt) {
        return false; // prepare() said why
    }
    error = CatalogueError();
    const int rc = sqlite3_reset(stmt);
    if (rc != SQLITE_OK) {
        fail("Unable to reset statement", rc);
        release();
        return false;
    }
    sqlite3_clear_bindings(stmt);
    for (int i = 0; i < bound.size(); ++i) {
        const QVariant &value = bound.at(i);
        if (value.type() == QVariant::String) {
            const QString text = value.toString();
            sqlite3_bind_text16(stmt, i + 1, text.utf16(), int(text.size() * sizeof(QChar)), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_int64(stmt, i + 1, value.toLongLong());
        }
    }
    names.clear();
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        names << QString(reinterpret_cast<const QChar *>(sqlite3_column_name16(stmt, i))).remove(QLatin1Char('"'));
    }
    firstResult = step();
    firstPending = true;
    return !error.isValid();
}

bool CatalogueQuery::next()
{
    if (firstPending) {
        firstPending = false;
        return firstResult;
    }
    return stmt && !error.isValid() && step();
}

// SQLite's generic error says what went wrong only once the statement is reset.
bool CatalogueQuery::step()
{
    row.clear();
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        for (int i = 0; i < names.size(); ++i) {
            row << cell(stmt, i);
        }
        return true;
    }
    if (rc == SQLITE_DONE) {
        sqlite3_reset(stmt);
        return false;
    }
    if (rc == SQLITE_ERROR || rc == SQLITE_CONSTRAINT) {
        rc = sqlite3_reset(stmt);
        fail("Unable to fetch row", rc);
    } else {
        fail("Unable to fetch row", rc);
        sqlite3_reset(stmt);
    }
    return false;
}

QVariant CatalogueQuery::value(int column) const
{
    return row.value(column);
}

QVariant CatalogueQuery::value(const QString &column) const
{
    return row.value(names.indexOf(column));
}

void CatalogueQuery::finish()
{
    if (stmt) {
        sqlite3_reset(stmt);
    }
    row.clear();
    firstPending = false;
}
