#include "statement.h"

#include "filesearch.h"

#include <sqlite3.h>

Statement::Statement(sqlite3 *db, const char *sql)
    : db(db)
{
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        fail("cannot prepare statement");
    }
}

Statement::~Statement()
{
    sqlite3_finalize(stmt);
}

void Statement::bind(int index, int64_t value)
{
    if (sqlite3_bind_int64(stmt, index, value) != SQLITE_OK) {
        fail("cannot bind parameter");
    }
}

void Statement::bindText(int index, std::string_view text)
{
    if (sqlite3_bind_text64(stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK) {
        fail("cannot bind parameter");
    }
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    fail("query failed");
}

void Statement::reset()
{
    sqlite3_reset(stmt);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(stmt, column) == SQLITE_NULL;
}

int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(stmt, column);
}

std::string_view Statement::bytes(int column) const
{
    const void *data = sqlite3_column_blob(stmt, column);
    const int size = sqlite3_column_bytes(stmt, column);
    if (!data || size <= 0) {
        return {};
    }
    return std::string_view(static_cast<const char *>(data), size_t(size));
}

std::string Statement::expandedSql() const
{
    char *sql = sqlite3_expanded_sql(stmt);
    std::string text = sql ? sql : sqlite3_sql(stmt);
    sqlite3_free(sql);
    return text;
}

void Statement::fail(const char *what) const
{
    throw FileSearchError(std::string(what) + ": " + sqlite3_errmsg(db));
}
