#ifndef STATEMENT_H
#define STATEMENT_H

// A prepared SQLite statement that owns its handle and turns every SQLite error into a
// FileSearchError, so that the search code reads as plain steps.

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class Statement
{
public:
    Statement(sqlite3 *db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    void bind(int index, int64_t value);
    void bindText(int index, std::string_view text);
    // Steps once: true with a row, false at the end. Throws on any error.
    bool step();
    void reset();

    bool isNull(int column) const;
    int64_t integer(int column) const;
    // A column's bytes; valid until the next step or reset.
    std::string_view bytes(int column) const;

    // The statement with its bound parameters spliced in, as it runs.
    std::string expandedSql() const;

private:
    [[noreturn]] void fail(const char *what) const;
    sqlite3 *db;
    sqlite3_stmt *stmt = nullptr;
};

#endif // STATEMENT_H
