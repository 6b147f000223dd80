#ifndef BLOCKREADER_H
#define BLOCKREADER_H

// Reads a catalogue's compact file lists (catalogueschema.h) for a search: how many names,
// directories and packages there are, binary searches over the blocks' first texts, single
// name and directory texts through a bounded cache of decoded blocks, a package's files and
// a trigram's posting list. Every id that comes out of a BLOB is checked against those
// counts before anyone uses it; anything out of place throws FileSearchError.

#include "statement.h"

#include <catalogueblobs.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

enum class BlockTable { Names, Dirs };

class BlockReader
{
public:
    explicit BlockReader(sqlite3 *db);

    uint32_t blockCount(BlockTable table) const { return tableOf(table).blocks; }
    uint32_t maxPackage() const { return packages; }

    // How many blocks have a first text below key (by bytes; the texts are folded).
    uint32_t blocksBefore(BlockTable table, std::string_view key);

    // Checks what a block read by a search holds: the number of texts for its id, and
    // that its links or package lists belong to those texts and name existing ids.
    void checkTexts(BlockTable table, uint32_t block, const CatalogueBlobs::TextBlock &texts) const;
    // Links decoded without their directories are checked for their packages alone.
    void checkLinks(uint32_t block, const CatalogueBlobs::NameLinks &links) const;
    void checkDirPackages(uint32_t block, const CatalogueBlobs::IdLists &pkgs) const;

    // One name's or directory's text; valid until the next call of either.
    std::string_view name(uint32_t id) { return text(BlockTable::Names, id); }
    std::string_view dir(uint32_t id) { return text(BlockTable::Dirs, id); }

    // A package's files, ids checked; none for a package without files.
    void files(uint32_t pkg, std::vector<CatalogueBlobs::FileRef> &out);
    // A trigram's name blocks, ids checked; none for a trigram no name holds.
    void postings(uint32_t trigram, std::vector<uint32_t> &out);
    // Appends the name blocks of every trigram from first to last, ids checked.
    void postingsBetween(uint32_t first, uint32_t last, std::vector<uint32_t> &out);

private:
    struct Table
    {
        uint32_t blocks = 0;
        uint32_t lastSize = 0; // texts in the last block
        uint64_t count = 0;    // texts in all blocks
        std::unique_ptr<Statement> first;
        std::unique_ptr<Statement> texts;
    };
    struct CachedBlock
    {
        uint32_t id = UINT32_MAX;
        CatalogueBlobs::TextBlock texts;
    };
    static constexpr size_t cacheSlots = 1024;

    Table &tableOf(BlockTable table) { return table == BlockTable::Names ? names : dirs; }
    const Table &tableOf(BlockTable table) const { return table == BlockTable::Names ? names : dirs; }
    void openTable(BlockTable table, const char *maxSql, const char *firstSql, const char *textsSql);
    void readTexts(BlockTable table, uint32_t block, CatalogueBlobs::TextBlock &out, bool check = true);
    size_t blockSize(BlockTable table, uint32_t block) const;
    void checkFirst(BlockTable table, uint32_t block);
    std::string_view text(BlockTable table, uint32_t id);

    sqlite3 *db;
    uint32_t packages = 0;
    Table names;
    Table dirs;
    Statement filesOf;
    Statement postingsOf;
    std::array<std::vector<CachedBlock>, 2> cache;
};

#endif // BLOCKREADER_H
