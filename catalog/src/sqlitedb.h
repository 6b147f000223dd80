#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// Thin RAII wrapper over the SQLite C API; failures throw std::runtime_error
// with SQLite's message.
class SqliteDb
{
public:
    // A prepared statement that is reset after each step.
    class Statement
    {
    public:
        Statement(SqliteDb &db, const char *sql);
        ~Statement();
        Statement(const Statement &) = delete;
        Statement &operator=(const Statement &) = delete;

        void bind(int index, int64_t value);
        void bind(int index, std::string_view text); // the text must outlive run()
        void bindBlob(int index, std::string_view bytes); // so must the bytes
        void run(); // steps once and resets

    private:
        friend class SqliteDb;
        SqliteDb &m_db;
        sqlite3_stmt *m_stmt = nullptr;
    };

    // Opens an existing file; an empty path opens a private temporary
    // database that SQLite deletes itself when it is closed.
    explicit SqliteDb(const std::string &path);
    ~SqliteDb();
    SqliteDb(const SqliteDb &) = delete;
    SqliteDb &operator=(const SqliteDb &) = delete;

    void exec(const char *sql);
    void close();

    // Makes the statement running on this connection (in another thread)
    // fail soon with SQLITE_INTERRUPT.
    void interrupt();

    // Runs `selectSql` on `from` and `insertSql` on `to` for every row,
    // binding the row's columns as they are (blobs stay blobs).
    static void copyRows(SqliteDb &from, const char *selectSql, SqliteDb &to,
                         const char *insertSql);

private:
    [[noreturn]] void fail(const std::string &what) const;

    sqlite3 *m_db = nullptr;
};
