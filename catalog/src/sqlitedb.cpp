#include "sqlitedb.h"

#include <sqlite3.h>

#include <stdexcept>

namespace {
// SQLite's memory statistics take a global mutex on every allocation, which
// two threads writing two databases would fight over. Only possible before
// SQLite initialises; later calls fail harmlessly.
void configureOnce()
{
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)configured;
}
} // namespace

SqliteDb::SqliteDb(const std::string &path)
{
    configureOnce();
    // Each connection is used by one thread only, so it needs no mutex.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX
                      | (path.empty() ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        // SQLite hands back a connection even when opening fails; a constructor that
        // throws runs no destructor, so it is closed here, after taking its message.
        const std::string message = "SQLite: cannot open " + path + ": " + sqlite3_errmsg(m_db);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw std::runtime_error(message);
    }
}

SqliteDb::~SqliteDb()
{
    sqlite3_close_v2(m_db);
}

void SqliteDb::exec(const char *sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail(sql);
    }
}

void SqliteDb::interrupt()
{
    sqlite3_interrupt(m_db);
}

void SqliteDb::close()
{
    if (sqlite3_close(m_db) != SQLITE_OK) {
        fail("cannot close the database");
    }
    m_db = nullptr;
}

void SqliteDb::copyRows(SqliteDb &from, const char *selectSql, SqliteDb &to,
                        const char *insertSql)
{
    Statement select(from, selectSql);
    Statement insert(to, insertSql);
    int rc;
    while ((rc = sqlite3_step(select.m_stmt)) == SQLITE_ROW) {
        const int columns = sqlite3_column_count(select.m_stmt);
        for (int i = 0; i < columns; ++i) {
            if (sqlite3_bind_value(insert.m_stmt, i + 1, sqlite3_column_value(select.m_stmt, i))
                != SQLITE_OK) {
                to.fail("bind");
            }
        }
        insert.run();
    }
    if (rc != SQLITE_DONE) {
        from.fail(selectSql);
    }
}

void SqliteDb::fail(const std::string &what) const
{
    throw std::runtime_error("SQLite: " + what + ": " + sqlite3_errmsg(m_db));
}

SqliteDb::Statement::Statement(SqliteDb &db, const char *sql) : m_db(db)
{
    if (sqlite3_prepare_v2(db.m_db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
        db.fail(sql);
    }
}

SqliteDb::Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void SqliteDb::Statement::bind(int index, int64_t value)
{
    if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK) {
        m_db.fail("bind");
    }
}

void SqliteDb::Statement::bind(int index, std::string_view text)
{
    if (sqlite3_bind_text(m_stmt, index, text.data(), int(text.size()), SQLITE_STATIC)
        != SQLITE_OK) {
        m_db.fail("bind");
    }
}

void SqliteDb::Statement::bindBlob(int index, std::string_view bytes)
{
    if (sqlite3_bind_blob64(m_stmt, index, bytes.data(), bytes.size(), SQLITE_STATIC) != SQLITE_OK) {
        m_db.fail("bind");
    }
}

void SqliteDb::Statement::run()
{
    if (sqlite3_step(m_stmt) != SQLITE_DONE) {
        m_db.fail(sqlite3_sql(m_stmt));
    }
    sqlite3_reset(m_stmt);
}
