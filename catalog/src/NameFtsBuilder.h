#pragma once

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

class SqliteDb;
class StringInterner;

// Builds the trigram full-text index of the base names on a second thread,
// in a private temporary SQLite database, while the main connection writes
// everything else; it is the single slowest step of a build. The finished
// index (the fts5 shadow tables _data, _idx and _docsize) is then copied into
// an fts5 table of the catalogue declared with the same tokenizer over a
// content table with the same ids and texts.
class NameFtsBuilder
{
public:
    explicit NameFtsBuilder(const StringInterner &names);
    ~NameFtsBuilder(); // stops the thread early unless copyInto() ran
    NameFtsBuilder(const NameFtsBuilder &) = delete;
    NameFtsBuilder &operator=(const NameFtsBuilder &) = delete;

    // Waits for the thread and copies its index into `table` of `db`: an
    // fts5(name, ..., kTokenize) table over the same names and ids, created
    // empty and not rebuilt.
    void copyInto(SqliteDb &db, const char *table);

    static const char *const kTokenize;

    // Merge settings for filling an fts5 table in one go: no incremental
    // merging, only when 64 segments pile up on a level. On the 3.7 M names
    // of Debian bookworm main: 13 s CPU against 23 s with the defaults, and
    // queries measured as fast.
    static void tuneForBulkLoad(SqliteDb &db, const char *table);

private:
    void build(const StringInterner &names);
    void wait();

    std::unique_ptr<SqliteDb> m_side;
    std::exception_ptr m_failure;
    std::atomic<bool> m_cancelled{false};
    std::thread m_thread;
};
