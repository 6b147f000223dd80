#include "FtsSideBuilder.h"

#include "SqliteDb.h"

#include <catalogueschema.h>

#include <string>

namespace {
constexpr size_t kBatchSize = 1 << 16;
}

// The finder re-checks every candidate with LIKE, so the index needs only which
// rows hold each trigram: no positions (detail='none') and no column sizes
// (columnsize=0). That is less than half the size of a full trigram index.
const char *const FtsSideBuilder::kTokenize = QV_FTS_TOKENIZE;

FtsSideBuilder::FtsSideBuilder() : m_side(std::make_unique<SqliteDb>(std::string()))
{
    m_filling.reserve(kBatchSize);
    m_thread = std::thread([this] {
        try {
            run();
        } catch (...) {
            m_failure = std::current_exception();
        }
    });
}

FtsSideBuilder::~FtsSideBuilder()
{
    if (m_thread.joinable()) {
        // The build failed: do not wait for indexes that will be thrown away.
        m_cancelled = true;
        m_side->interrupt();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_inputDone = true;
        }
        m_ready.notify_one();
        m_thread.join();
    }
}

void FtsSideBuilder::push(const Item &item)
{
    m_filling.push_back(item);
    if (m_filling.size() >= kBatchSize)
        handOver();
}

void FtsSideBuilder::handOver()
{
    if (m_filling.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(std::move(m_filling));
    }
    m_ready.notify_one();
    m_filling = Batch();
    m_filling.reserve(kBatchSize);
}

void FtsSideBuilder::finishInput()
{
    handOver();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_inputDone = true;
    }
    m_ready.notify_one();
}

// Waits for the next batch; false once the input is done and drained.
bool FtsSideBuilder::nextBatch(Batch &batch)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ready.wait(lock, [this] { return !m_queue.empty() || m_inputDone; });
    if (m_queue.empty() || m_cancelled)
        return false;
    batch = std::move(m_queue.front());
    m_queue.pop_front();
    return true;
}

void FtsSideBuilder::run()
{
    SqliteDb &db = *m_side;
    db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-65536;");
    db.exec("BEGIN");
    for (const char *table : {"names", "dirs"}) {
        db.exec((std::string("CREATE VIRTUAL TABLE ") + table + " USING fts5(txt, content='', "
                 + kTokenize + ")")
                    .c_str());
        tuneForBulkLoad(db, table);
    }
    SqliteDb::Statement insertName(db, "INSERT INTO names(rowid, txt) VALUES (?1, ?2)");
    SqliteDb::Statement insertDir(db, "INSERT INTO dirs(rowid, txt) VALUES (?1, ?2)");
    std::string dirPath;
    Batch batch;
    while (nextBatch(batch)) {
        for (const Item &item : batch) {
            if (!item.isDir) {
                insertName.bind(1, int64_t(item.id));
                insertName.bind(2, item.text);
                insertName.run();
            } else {
                // Stored as "/usr/bin"; the root as "" (still a row, as 'rebuild' makes it).
                dirPath.clear();
                if (!item.text.empty())
                    dirPath.append(1, '/').append(item.text);
                insertDir.bind(1, int64_t(item.id));
                insertDir.bind(2, dirPath);
                insertDir.run();
            }
        }
    }
    if (!m_cancelled)
        db.exec("COMMIT");
}

void FtsSideBuilder::tuneForBulkLoad(SqliteDb &db, const char *table)
{
    const std::string t = table;
    db.exec(("INSERT INTO " + t + "(" + t + ", rank) VALUES('automerge', 0)").c_str());
    db.exec(("INSERT INTO " + t + "(" + t + ", rank) VALUES('crisismerge', 64)").c_str());
}

void FtsSideBuilder::copyInto(SqliteDb &db, const char *nameTable, const char *dirTable)
{
    m_thread.join();
    if (m_failure)
        std::rethrow_exception(m_failure);
    struct Shadow
    {
        const char *suffix;
        const char *values;
    };
    const Shadow shadows[] = {{"_data", "(?1, ?2)"}, {"_idx", "(?1, ?2, ?3)"}};
    for (const auto &[from, to] : {std::pair{"names", nameTable}, std::pair{"dirs", dirTable}}) {
        for (const Shadow &shadow : shadows) {
            const std::string target = std::string(to) + shadow.suffix;
            db.exec(("DELETE FROM " + target).c_str());
            SqliteDb::copyRows(*m_side, (std::string("SELECT * FROM ") + from + shadow.suffix).c_str(),
                               db, ("INSERT INTO " + target + " VALUES " + shadow.values).c_str());
        }
    }
    m_side.reset();
}
