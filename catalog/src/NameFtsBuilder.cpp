#include "NameFtsBuilder.h"

#include "SqliteDb.h"
#include "StringInterner.h"

#include <string>

const char *const NameFtsBuilder::kTokenize = "tokenize='trigram'";

NameFtsBuilder::NameFtsBuilder(const StringInterner &names)
    : m_side(std::make_unique<SqliteDb>(std::string()))
{
    m_thread = std::thread([this, &names] {
        try {
            build(names);
        } catch (...) {
            m_failure = std::current_exception();
        }
    });
}

NameFtsBuilder::~NameFtsBuilder()
{
    // The main build failed: do not make the user wait for an index that
    // will be thrown away.
    if (m_side) {
        m_cancelled = true;
        m_side->interrupt();
    }
    wait();
}

void NameFtsBuilder::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

// The side index is contentless (content=''): its rows are inserted directly,
// so the names are not stored a second time. Its index records are the same
// as those of an external-content table over the same ids and texts.
void NameFtsBuilder::build(const StringInterner &names)
{
    SqliteDb &db = *m_side;
    db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-65536;");
    db.exec("BEGIN");
    db.exec((std::string("CREATE VIRTUAL TABLE fts USING fts5(name, content='', ") + kTokenize
             + ")")
                .c_str());
    tuneForBulkLoad(db, "fts");
    SqliteDb::Statement insert(db, "INSERT INTO fts(rowid, name) VALUES (?1, ?2)");
    for (uint32_t id = 1; id <= names.size() && !m_cancelled; ++id) {
        insert.bind(1, int64_t(id));
        insert.bind(2, names.text(id));
        insert.run();
    }
    db.exec("COMMIT");
}

void NameFtsBuilder::tuneForBulkLoad(SqliteDb &db, const char *table)
{
    const std::string t = table;
    db.exec(("INSERT INTO " + t + "(" + t + ", rank) VALUES('automerge', 0)").c_str());
    db.exec(("INSERT INTO " + t + "(" + t + ", rank) VALUES('crisismerge', 64)").c_str());
}

void NameFtsBuilder::copyInto(SqliteDb &db, const char *table)
{
    wait();
    if (m_failure)
        std::rethrow_exception(m_failure);
    struct Shadow
    {
        const char *suffix;
        const char *values;
    };
    for (const Shadow &shadow : {Shadow{"_data", "(?1, ?2)"}, Shadow{"_idx", "(?1, ?2, ?3)"},
                                 Shadow{"_docsize", "(?1, ?2)"}}) {
        const std::string target = std::string(table) + shadow.suffix;
        db.exec(("DELETE FROM " + target).c_str());
        SqliteDb::copyRows(*m_side, ("SELECT * FROM fts" + std::string(shadow.suffix)).c_str(),
                           db, ("INSERT INTO " + target + " VALUES " + shadow.values).c_str());
    }
    m_side.reset();
}
