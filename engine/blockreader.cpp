#include "blockreader.h"

#include "filesearch.h"

#include <catalogueschema.h>

#include <string>

using namespace CatalogueBlobs;

namespace {

static_assert(QV_NAMES_PER_BLOCK == 64 && QV_DIRS_PER_BLOCK == 64, "a block's matches are one 64-bit mask");
constexpr uint32_t perBlock = 64;
// Ids are 32-bit: no catalogue holds more blocks than that allows. Package ids are far
// fewer; the cap bounds the package set a search keeps (a bit each).
constexpr int64_t maxBlocks = int64_t(UINT32_MAX) / perBlock;
constexpr int64_t maxPackages = int64_t(1) << 28;

[[noreturn]] void broken(const std::string &what)
{
    throw FileSearchError("damaged catalogue: " + what);
}

} // namespace

BlockReader::BlockReader(sqlite3 *db)
    : db(db)
    , filesOf(db, "SELECT " QV_PKG_FILES_DATA " FROM " QV_PKG_FILES_TABLE " WHERE " QV_PKG_FILES_PKG " = ?1")
    , postingsOf(db, "SELECT " QV_TRIGRAM_BLOCKS " FROM " QV_TRIGRAM_TABLE " WHERE " QV_TRIGRAM_KEY " = ?1")
{
    Statement maxPkg(db, "SELECT max(" QV_PKG_ID ") FROM " QV_PKG_TABLE);
    if (maxPkg.step() && !maxPkg.isNull(0)) {
        const int64_t id = maxPkg.integer(0);
        if (id < 0 || id >= maxPackages) {
            broken("package ids out of range");
        }
        packages = uint32_t(id);
    }
    openTable(BlockTable::Names, "SELECT max(" QV_NAME_BLOCK_ID ") FROM " QV_NAME_BLOCK_TABLE,
              "SELECT " QV_NAME_BLOCK_FIRST " FROM " QV_NAME_BLOCK_TABLE " WHERE " QV_NAME_BLOCK_ID " = ?1",
              "SELECT " QV_NAME_BLOCK_NAMES " FROM " QV_NAME_BLOCK_TABLE " WHERE " QV_NAME_BLOCK_ID " = ?1");
    openTable(BlockTable::Dirs, "SELECT max(" QV_DIR_BLOCK_ID ") FROM " QV_DIR_BLOCK_TABLE,
              "SELECT " QV_DIR_BLOCK_FIRST " FROM " QV_DIR_BLOCK_TABLE " WHERE " QV_DIR_BLOCK_ID " = ?1",
              "SELECT " QV_DIR_BLOCK_PATHS " FROM " QV_DIR_BLOCK_TABLE " WHERE " QV_DIR_BLOCK_ID " = ?1");
}

// The block count comes from the highest block id; the last block, read once, says how
// many texts it holds, and every other block must be full.
void BlockReader::openTable(BlockTable table, const char *maxSql, const char *firstSql, const char *textsSql)
{
    Table &t = tableOf(table);
    t.first = std::make_unique<Statement>(db, firstSql);
    t.texts = std::make_unique<Statement>(db, textsSql);
    cache[size_t(table)].resize(cacheSlots);
    Statement maxId(db, maxSql);
    if (!maxId.step() || maxId.isNull(0)) {
        return;
    }
    const int64_t last = maxId.integer(0);
    if (last < 0 || last >= maxBlocks) {
        broken("block ids out of range");
    }
    t.blocks = uint32_t(last + 1);
    TextBlock texts;
    readTexts(table, t.blocks - 1, texts, false);
    if (texts.size() == 0) {
        broken("empty last block");
    }
    t.lastSize = uint32_t(texts.size());
    t.count = uint64_t(t.blocks - 1) * perBlock + t.lastSize;
}

size_t BlockReader::blockSize(BlockTable table, uint32_t block) const
{
    const Table &t = tableOf(table);
    return block + 1 == t.blocks ? t.lastSize : perBlock;
}

uint32_t BlockReader::blocksBefore(BlockTable table, std::string_view key)
{
    Statement &first = *tableOf(table).first;
    uint32_t low = 0, high = blockCount(table);
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        first.reset();
        first.bind(1, mid);
        if (!first.step()) {
            broken("missing block " + std::to_string(mid));
        }
        const bool below = first.bytes(0) < key;
        if (below) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    first.reset();
    // The search went by `first` alone: the blocks it ends between must begin with the
    // text their `first` says, or a damaged column would hide names without a word.
    if (low > 0) {
        checkFirst(table, low - 1);
    }
    if (low < blockCount(table)) {
        checkFirst(table, low);
    }
    return low;
}

void BlockReader::checkFirst(BlockTable table, uint32_t block)
{
    Statement &first = *tableOf(table).first;
    first.reset();
    first.bind(1, block);
    if (!first.step()) {
        broken("missing block " + std::to_string(block));
    }
    const std::string stored(first.bytes(0));
    first.reset();
    if (folded(text(table, block * perBlock)) != stored) {
        broken("block " + std::to_string(block) + " does not begin with its first text");
    }
}

void BlockReader::checkTexts(BlockTable table, uint32_t block, const TextBlock &texts) const
{
    if (block >= blockCount(table) || texts.size() != blockSize(table, block)) {
        broken("block " + std::to_string(block) + " of the wrong size");
    }
}

void BlockReader::checkLinks(uint32_t block, const NameLinks &links) const
{
    if (links.size() != blockSize(BlockTable::Names, block)) {
        broken("links of block " + std::to_string(block) + " do not fit its names");
    }
    for (size_t i = 0; i < links.pkgs.size(); ++i) {
        if (links.pkgs[i] == 0 || links.pkgs[i] > packages || (!links.dirs.empty() && links.dirs[i] >= dirs.count)) {
            broken("link out of range in block " + std::to_string(block));
        }
    }
}

void BlockReader::checkDirPackages(uint32_t block, const IdLists &pkgs) const
{
    if (pkgs.size() != blockSize(BlockTable::Dirs, block)) {
        broken("packages of directory block " + std::to_string(block) + " do not fit its paths");
    }
    for (const uint32_t pkg : pkgs.values) {
        if (pkg == 0 || pkg > packages) {
            broken("package out of range in directory block " + std::to_string(block));
        }
    }
}

void BlockReader::readTexts(BlockTable table, uint32_t block, TextBlock &out, bool check)
{
    Statement &texts = *tableOf(table).texts;
    texts.reset();
    texts.bind(1, block);
    if (!texts.step()) {
        broken("missing block " + std::to_string(block));
    }
    decodeTexts(texts.bytes(0), perBlock, out);
    texts.reset();
    if (check) {
        checkTexts(table, block, out);
    }
}

std::string_view BlockReader::text(BlockTable table, uint32_t id)
{
    const uint32_t block = id / perBlock;
    if (block >= blockCount(table) || id % perBlock >= blockSize(table, block)) {
        broken("id " + std::to_string(id) + " out of range");
    }
    CachedBlock &slot = cache[size_t(table)][block % cacheSlots];
    if (slot.id != block) {
        slot.id = UINT32_MAX;
        readTexts(table, block, slot.texts);
        slot.id = block;
    }
    return slot.texts.text(id % perBlock);
}

void BlockReader::files(uint32_t pkg, std::vector<FileRef> &out)
{
    out.clear();
    filesOf.reset();
    filesOf.bind(1, pkg);
    if (filesOf.step()) {
        decodeFiles(filesOf.bytes(0), out);
    }
    filesOf.reset();
    for (const FileRef &file : out) {
        if (file.dir >= dirs.count || file.name >= names.count) {
            broken("file of package " + std::to_string(pkg) + " out of range");
        }
    }
}

void BlockReader::postingsBetween(uint32_t first, uint32_t last, std::vector<uint32_t> &out)
{
    Statement read(db, "SELECT " QV_TRIGRAM_BLOCKS " FROM " QV_TRIGRAM_TABLE " WHERE " QV_TRIGRAM_KEY " BETWEEN ?1 AND ?2");
    read.bind(1, first);
    read.bind(2, last);
    std::vector<uint32_t> list;
    while (read.step()) {
        decodePostings(read.bytes(0), list);
        if (!list.empty() && list.back() >= names.blocks) {
            broken("posting list out of range");
        }
        out.insert(out.end(), list.begin(), list.end());
    }
}

void BlockReader::postings(uint32_t trigram, std::vector<uint32_t> &out)
{
    out.clear();
    postingsOf.reset();
    postingsOf.bind(1, trigram);
    if (postingsOf.step()) {
        decodePostings(postingsOf.bytes(0), out);
    }
    postingsOf.reset();
    if (!out.empty() && out.back() >= names.blocks) {
        broken("posting list of trigram " + std::to_string(trigram) + " out of range");
    }
}
