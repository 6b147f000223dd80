#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

class SqliteDb;

// Builds the two trigram indexes (base names, directories) on a second
// thread while the file lists are still being parsed and while the main
// connection writes the tables: filling them is the slowest part of a
// build. New names and directories are handed over as they are interned, in
// batches, and indexed in a private temporary SQLite database as contentless
// fts5 tables. At the end their shadow tables (_data, _idx, _docsize) are
// copied into the catalogue's external-content fts5 tables, which have the
// same tokenizer and whose content tables hold the same ids and texts; the
// index records are the same either way.
class FtsSideBuilder
{
public:
    FtsSideBuilder();
    ~FtsSideBuilder(); // stops the thread early unless copyInto() ran
    FtsSideBuilder(const FtsSideBuilder &) = delete;
    FtsSideBuilder &operator=(const FtsSideBuilder &) = delete;

    // Called by the parsing thread for every new name / directory, ids in
    // ascending order. `text` must stay valid until copyInto() (interner
    // arena). Directories come without their leading "/" (root: "").
    void addName(uint32_t id, std::string_view text) { push({id, false, text}); }
    void addDir(uint32_t id, std::string_view text) { push({id, true, text}); }

    // No more names or directories will come.
    void finishInput();

    // Waits for the thread, then copies its indexes into `nameTable` and
    // `dirTable` of `db`: fts5 tables created empty with kTokenize.
    void copyInto(SqliteDb &db, const char *nameTable, const char *dirTable);

    static const char *const kTokenize;

    // Merge settings for filling an fts5 table in one go: no incremental
    // merging, only when 64 segments pile up on a level (fewer merges while
    // filling; catalog/README.md has the figures).
    static void tuneForBulkLoad(SqliteDb &db, const char *table);

private:
    struct Item
    {
        uint32_t id;
        bool isDir;
        std::string_view text;
    };
    using Batch = std::vector<Item>;

    void push(const Item &item);
    void handOver();
    bool nextBatch(Batch &batch);
    void run();

    std::unique_ptr<SqliteDb> m_side;
    Batch m_filling; // the producer's batch in progress
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Batch> m_queue;
    bool m_inputDone = false;
    std::atomic<bool> m_cancelled{false};
    std::exception_ptr m_failure;
    std::thread m_thread;
};
