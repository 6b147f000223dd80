#include "filesearch.h"

#include "blockbits.h"
#include "blockreader.h"
#include "idset.h"
#include "keywordpattern.h"
#include "nametexts.h"
#include "parallelnamescan.h"
#include "pathaliases.h"
#include "pathsort.h"
#include "readtransaction.h"
#include "statement.h"

#include <catalogueblobs.h>
#include <catalogueschema.h>

#include <algorithm>
#include <unordered_map>

using namespace CatalogueBlobs;

namespace {

constexpr uint32_t perBlock = QV_NAMES_PER_BLOCK;
// A keyword's literal text narrows its name blocks by at most this many trigrams.
constexpr size_t maxTrigrams = 16;
// Above this many (directory, package) pairs in the passing directories, a path keyword
// reads every name block rather than the candidate packages' files one name at a time.
constexpr uint64_t maxPairsByPackage = 16384;
// From this many name blocks on, a search of names alone decodes and matches them on two
// threads: a tenth of the blocks of Debian bookworm, where it halves a scan of them all.
constexpr uint64_t parallelFromBlocks = 4096;
// SQLite refuses a LIKE pattern longer than this (SQLITE_LIMIT_LIKE_PATTERN_LENGTH).
constexpr size_t likePatternLimit = 50000;

bool isWildcard(char c)
{
    return c == '*' || c == '?';
}

// How the names of a pattern are found: by their sorted order when it starts with literal
// ASCII text, by their endings when it ends with such text, by trigrams when it holds two
// or three ASCII bytes in a row, else by reading them all.
FilePlan namePlanFor(const KeywordPattern &pattern)
{
    if (!pattern.literalPrefix().empty() || pattern.isPlainAscii()) {
        return FilePlan::NameRange;
    }
    if (!pattern.literalSuffix().empty()) {
        return FilePlan::NameEnds;
    }
    if (!pattern.trigrams(maxTrigrams).empty() || !pattern.pair().empty()) {
        return FilePlan::NameTrigrams;
    }
    return FilePlan::NameScan;
}

// The smallest text above every text that starts with prefix; empty when there is none.
std::string prefixEnd(std::string prefix)
{
    while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0xff)
        prefix.pop_back();
    if (!prefix.empty()) {
        prefix.back() = char(static_cast<unsigned char>(prefix.back()) + 1);
    }
    return prefix;
}

std::string jsonArray(const std::vector<uint32_t> &ids)
{
    std::string text = "[";
    for (size_t i = 0; i < ids.size(); ++i)
        text += (i ? "," : "") + std::to_string(ids[i]);
    return text + "]";
}

// The places of the files in the order of their names' ids: a radix sort, a byte of the
// id at a time (a comparison sort of a large package's ids, which come in runs that repeat
// from folder to folder, fell back to heap sort).
std::vector<uint32_t> placesByName(const std::vector<FileRef> &files)
{
    std::vector<uint32_t> order(files.size()), next(files.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    for (unsigned shift = 0; shift < 32; shift += 8) {
        size_t counts[257] = {};
        for (const FileRef &file : files)
            ++counts[(file.name >> shift & 0xff) + 1];
        if (counts[(files.empty() ? 0 : files[0].name >> shift & 0xff) + 1] == files.size()) {
            continue; // every id has the same byte here
        }
        for (size_t b = 1; b < 257; ++b)
            counts[b] += counts[b - 1];
        for (const uint32_t i : order)
            next[counts[files[i].name >> shift & 0xff]++] = i;
        order.swap(next);
    }
    return order;
}

std::vector<uint32_t> intersect(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b)
{
    std::vector<uint32_t> out;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

// The ids in either list, ascending.
std::vector<uint32_t> unite(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b)
{
    std::vector<uint32_t> out;
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

} // namespace

const char *filePlanName(FilePlan plan)
{
    switch (plan) {
    case FilePlan::NameRange: return "NameRange";
    case FilePlan::NameEnds: return "NameEnds";
    case FilePlan::NameTrigrams: return "NameTrigrams";
    case FilePlan::NameScan: return "NameScan";
    case FilePlan::DirRange: return "DirRange";
    case FilePlan::DirScan: return "DirScan";
    }
    return "?";
}

struct FileSearch::Impl
{
    Impl(sqlite3 *db, std::string_view keyword, StopFn stop);

    bool isNamePlan() const { return plan != FilePlan::DirRange && plan != FilePlan::DirScan; }
    void checkStop() const;
    void search();
    // Searches, then whether the package is one of the rows.
    bool ships(uint32_t pkg)
    {
        search();
        return std::binary_search(rows.begin(), rows.end(), pkg);
    }
    void searchNames(IdSet &pkgs);
    void everyPackageWithFiles(IdSet &pkgs);
    // The name blocks a search reads: ids (by endings or trigrams), or count blocks from
    // first. The blocks are read in order; rows between listed ones are passed over.
    struct BlockList
    {
        std::vector<uint32_t> ids;
        uint32_t first = 0;
        uint64_t count = 0;
        uint64_t at(uint64_t k) const { return ids.empty() ? first + k : ids[k]; }
    };
    std::unique_ptr<Statement> blockRead(const KeywordPattern &pattern, FilePlan how, BlockList &list);
    template<class OnLink> void scanNames(const KeywordPattern &pattern, FilePlan how, bool keep, OnLink onLink);
    template<class OnLink>
    void scanBlocks(Statement &read, const BlockList &list, const KeywordPattern &pattern, bool keep, OnLink &onLink);
    template<class OnLink>
    void nameBlock(const KeywordPattern &pattern, uint32_t block, std::string_view namesBlob,
                   std::string_view linksBlob, bool keep, OnLink &onLink);
    void nameBlockRange(const KeywordPattern &pattern, FilePlan how, uint32_t &first, uint32_t &last);
    std::vector<uint32_t> trigramBlocks(const KeywordPattern &pattern);
    std::vector<uint32_t> endBlocks(const KeywordPattern &pattern);
    std::vector<uint32_t> pairBlocks(const KeywordPattern &pattern);
    static std::vector<uint32_t> allBlocks(uint32_t total);
    void searchDirs(IdSet &pkgs);
    void checkPackages(const IdSet &candidates, IdSet &pkgs);
    uint64_t dirBlock(uint32_t block, std::string_view pathsBlob, std::string_view pkgsBlob, IdSet &candidates);
    bool nameDirMatches(uint32_t dir);
    template<class Fn> void forEachMatch(uint32_t pkg, Fn fn);

    sqlite3 *db;
    std::string keyword;
    StopFn stop;
    FilePlan plan = FilePlan::NameScan;

    // Name plans: the pattern a file's name must match and, for a keyword with a "/", the
    // one its directory must match (the keyword up to its last "/").
    std::unique_ptr<KeywordPattern> namePattern;
    std::unique_ptr<KeywordPattern> dirOfName;
    // Directory plans: the keyword against full paths; a directory whose path and "/"
    // fails the keyword up to its last "/" followed by "*" holds no matching file.
    std::unique_ptr<KeywordPattern> pathPattern;
    std::unique_ptr<KeywordPattern> dirFilter;
    bool everyFileOfDir = false; // the keyword ends in "/*": each file of a passing directory matches
    std::string folder;          // folded literal folder the keyword starts with, without its "/"
    // "*" and the keyword's literal tail after its last wildcard: a matching file's name
    // ends with the tail.
    std::unique_ptr<KeywordPattern> tailPattern;
    uint64_t dirPackagePairs = 0; // (directory, package) pairs of the passing directories

    std::unique_ptr<BlockReader> reader;
    BlockBits matchedNames;
    NameTexts matchedTexts;
    bool everyName = false; // "*": matchedNames is not kept
    BlockBits matchedDirs;
    std::unordered_map<uint32_t, bool> dirVerdicts;
    std::string sql;
    bool searched = false;
    std::vector<uint32_t> rows;
    int64_t files = -1;

    TextBlock texts;
    TextBlock slashed; // a directory block's paths, each with its "/"
    NameLinks links;
    IdLists dirPkgs;
};

// Chooses the plan from the keyword alone.
FileSearch::Impl::Impl(sqlite3 *db, std::string_view text, StopFn stopFn)
    : db(db), keyword(text.substr(0, text.find('\0'))), stop(std::move(stopFn))
{
    const size_t slash = keyword.rfind('/');
    const std::string_view namePart = slash == std::string::npos ? keyword : std::string_view(keyword).substr(slash + 1);
    if (slash == std::string::npos || std::none_of(namePart.begin(), namePart.end(), isWildcard)) {
        namePattern = std::make_unique<KeywordPattern>(namePart);
        if (slash != std::string::npos) {
            dirOfName = std::make_unique<KeywordPattern>(std::string_view(keyword).substr(0, slash));
        }
        plan = namePlanFor(*namePattern);
        return;
    }
    pathPattern = std::make_unique<KeywordPattern>(keyword);
    dirFilter = std::make_unique<KeywordPattern>(keyword.substr(0, slash) + "/*");
    everyFileOfDir = std::all_of(namePart.begin(), namePart.end(), [](char c) { return c == '*'; });
    tailPattern = std::make_unique<KeywordPattern>("*" + keyword.substr(keyword.find_last_of("*?") + 1));
    const std::string prefix = pathPattern->literalPrefix();
    const size_t folderEnd = prefix.rfind('/');
    if (folderEnd != std::string::npos && folderEnd > 0) {
        folder = prefix.substr(0, folderEnd);
        plan = FilePlan::DirRange;
    } else {
        plan = FilePlan::DirScan;
    }
}

void FileSearch::Impl::checkStop() const
{
    if (stop && stop()) {
        throw FileSearchError("search stopped");
    }
}

void FileSearch::Impl::search()
{
    if (searched) {
        return;
    }
    if (KeywordPattern::likePatternLength(keyword) > likePatternLimit) {
        throw FileSearchError("LIKE or GLOB pattern too complex");
    }
    // A search that failed part way starts again from nothing.
    reader = std::make_unique<BlockReader>(db);
    matchedNames = BlockBits();
    matchedTexts.clear();
    matchedDirs = BlockBits();
    dirVerdicts.clear();
    everyName = false;
    dirPackagePairs = 0;
    files = -1;
    sql.clear();
    IdSet pkgs(size_t(reader->maxPackage()) + 1);
    if (isNamePlan()) {
        searchNames(pkgs);
    } else {
        searchDirs(pkgs);
    }
    rows = pkgs.ids();
    searched = true;
}

// The name blocks that may hold names starting with the keyword's literal prefix (or,
// for a keyword without wildcards, equal to it), as an inclusive range; empty when
// first > last.
void FileSearch::Impl::nameBlockRange(const KeywordPattern &pattern, FilePlan how, uint32_t &first, uint32_t &last)
{
    const uint32_t blocks = reader->blockCount(BlockTable::Names);
    first = 1;
    last = 0;
    if (how == FilePlan::NameScan) {
        first = 0;
        last = blocks - 1;
        return;
    }
    const std::string prefix = pattern.literalPrefix();
    const uint32_t before = reader->blocksBefore(BlockTable::Names, prefix);
    // A text read up to a NUL still matches, so "ls" also takes "ls\0...".
    const std::string end = pattern.isPlainAscii() ? prefix + '\x01' : prefixEnd(prefix);
    const uint32_t upto = end.empty() ? blocks : reader->blocksBefore(BlockTable::Names, end);
    if (upto > 0) {
        first = before > 0 ? before - 1 : 0;
        last = upto - 1;
    }
}

// The name blocks that hold every trigram of the keyword's literal text.
std::vector<uint32_t> FileSearch::Impl::trigramBlocks(const KeywordPattern &pattern)
{
    const std::vector<uint32_t> keys = pattern.trigrams(maxTrigrams);
    if (keys.empty()) {
        return pairBlocks(pattern);
    }
    std::vector<uint32_t> blocks, list;
    bool firstList = true;
    for (const uint32_t key : keys) {
        checkStop();
        reader->postings(key, list);
        blocks = firstList ? list : intersect(blocks, list);
        firstList = false;
        if (blocks.empty()) {
            break;
        }
    }
    return blocks;
}

// The name blocks that hold a name with the keyword's literal ending and every trigram
// of its literal text.
std::vector<uint32_t> FileSearch::Impl::endBlocks(const KeywordPattern &pattern)
{
    const std::string suffix = pattern.literalSuffix();
    const auto last = static_cast<unsigned char>(suffix.back());
    std::vector<uint32_t> blocks, list;
    if (suffix.size() >= 2) {
        reader->postings(endKey(last, static_cast<unsigned char>(suffix[suffix.size() - 2])), blocks);
    } else {
        reader->postingsBetween(endKey(last, 0), endKey(last, 255), blocks);
        std::sort(blocks.begin(), blocks.end());
        blocks.erase(std::unique(blocks.begin(), blocks.end()), blocks.end());
    }
    for (const uint32_t key : pattern.trigrams(maxTrigrams)) {
        if (blocks.empty()) {
            break;
        }
        checkStop();
        reader->postings(key, list);
        blocks = intersect(blocks, list);
    }
    return blocks;
}

// Every name matches: the packages are those with a file list, without reading a name.
void FileSearch::Impl::everyPackageWithFiles(IdSet &pkgs)
{
    Statement read(db, "SELECT " QV_PKG_FILES_PKG " FROM " QV_PKG_FILES_TABLE);
    sql = read.expandedSql();
    for (uint64_t row = 0; read.step(); ++row) {
        if (row % 4096 == 0) {
            checkStop();
        }
        const int64_t pkg = read.integer(0);
        if (pkg <= 0 || pkg > reader->maxPackage()) {
            throw FileSearchError("damaged catalogue: file list of an unknown package");
        }
        pkgs.insert(uint32_t(pkg));
    }
}

// The name blocks that may hold a name with the pattern's two bytes: those of the trigrams
// that start with them (one range of keys; not needed when the names must end with them),
// of the trigrams that end with them (one key for each byte before), and the blocks of the
// names that are just the two bytes.
std::vector<uint32_t> FileSearch::Impl::pairBlocks(const KeywordPattern &pattern)
{
    const std::string pair = pattern.pair();
    const auto a = static_cast<unsigned char>(pair[0]), b = static_cast<unsigned char>(pair[1]);
    const uint32_t total = reader->blockCount(BlockTable::Names);
    IdSet seen(total);
    size_t distinct = 0;
    std::vector<uint32_t> blocks, list;
    // Past a third of all blocks the caller reads them all anyway: stop collecting.
    const auto add = [&](uint32_t block) {
        if (!seen.contains(block)) {
            seen.insert(block);
            ++distinct;
        }
        return distinct * 3 < total;
    };
    const auto addAll = [&](const std::vector<uint32_t> &ids) {
        return std::all_of(ids.begin(), ids.end(), add);
    };
    if (!pattern.endsWith(pair)) {
        reader->postingsBetween(trigramKey(a, b, 0), trigramKey(a, b, 255), list);
        if (!addAll(list)) {
            return allBlocks(total);
        }
    }
    for (unsigned before = 1; before < 256; ++before) { // a key below 1 << 16 is an ending
        checkStop();
        reader->postings(trigramKey((unsigned char)before, a, b), list);
        if (!addAll(list)) {
            return allBlocks(total);
        }
    }
    uint32_t first = 0, last = 0;
    nameBlockRange(KeywordPattern(pair), FilePlan::NameRange, first, last);
    for (uint64_t block = first; block <= last; ++block) {
        if (!add(uint32_t(block))) {
            return allBlocks(total);
        }
    }
    return seen.ids();
}

// Every name block's id.
std::vector<uint32_t> FileSearch::Impl::allBlocks(uint32_t total)
{
    std::vector<uint32_t> blocks(total);
    for (uint32_t block = 0; block < total; ++block)
        blocks[block] = block;
    return blocks;
}

void FileSearch::Impl::searchNames(IdSet &pkgs)
{
    if (reader->blockCount(BlockTable::Names) == 0) {
        return;
    }
    if (namePattern->matchesEverything() && !dirOfName) {
        everyName = true;
        everyPackageWithFiles(pkgs);
        return;
    }
    files = 0;
    BlockList list;
    const std::unique_ptr<Statement> read = blockRead(*namePattern, plan, list);
    if (!dirOfName && list.count >= parallelFromBlocks) {
        NameScanResult found = scanNamesInParallel(
            *read, list.count, [&list](uint64_t k) { return list.at(k); }, *namePattern, *reader,
            [this] { checkStop(); });
        pkgs.merge(found.pkgs);
        matchedNames = std::move(found.matched);
        matchedTexts = std::move(found.texts);
        files = found.files;
        return;
    }
    auto onLink = [&](uint32_t pkg, uint32_t dir, std::string_view) {
        if (dirOfName && !nameDirMatches(dir)) {
            return;
        }
        ++files;
        pkgs.insert(pkg);
    };
    scanBlocks(*read, list, *namePattern, true, onLink);
}

// Reads the name blocks the plan `how` gives for the pattern, matches their names and
// calls onLink(pkg, dir, name) for each link of each matching name. With keep, the
// matching names are kept for the paths asked for later.
// The statement that reads the name blocks the plan `how` gives for the pattern, in
// block order: by endings or trigrams, the blocks in `ids`; else the range first..last.
std::unique_ptr<Statement> FileSearch::Impl::blockRead(const KeywordPattern &pattern, FilePlan how, BlockList &list)
{
    std::unique_ptr<Statement> read;
    const bool listed = how == FilePlan::NameTrigrams || how == FilePlan::NameEnds;
    if (listed) {
        list.ids = how == FilePlan::NameEnds ? endBlocks(pattern) : trigramBlocks(pattern);
        list.count = list.ids.size();
    }
    // Where the list leaves few blocks, each is looked up; from a third of them on (a short
    // literal common in names: "*.h"), a read of the rows in order that passes over the
    // others costs less.
    if (listed && (list.ids.empty() || list.count * 3 < reader->blockCount(BlockTable::Names))) {
        read = std::make_unique<Statement>(
            db, "SELECT b." QV_NAME_BLOCK_ID ", b." QV_NAME_BLOCK_NAMES ", b." QV_NAME_BLOCK_LINKS
                " FROM json_each(?1) AS j CROSS JOIN " QV_NAME_BLOCK_TABLE " AS b ON b." QV_NAME_BLOCK_ID " = j.value");
        read->bindText(1, jsonArray(list.ids));
    } else if (listed) {
        read = std::make_unique<Statement>(
            db, "SELECT " QV_NAME_BLOCK_ID ", " QV_NAME_BLOCK_NAMES ", " QV_NAME_BLOCK_LINKS " FROM " QV_NAME_BLOCK_TABLE
                " WHERE " QV_NAME_BLOCK_ID " BETWEEN ?1 AND ?2");
        read->bind(1, list.ids.front());
        read->bind(2, list.ids.back());
    } else {
        uint32_t last = 0;
        nameBlockRange(pattern, how, list.first, last);
        list.count = list.first <= last ? uint64_t(last) - list.first + 1 : 0;
        read = std::make_unique<Statement>(
            db, "SELECT " QV_NAME_BLOCK_ID ", " QV_NAME_BLOCK_NAMES ", " QV_NAME_BLOCK_LINKS " FROM " QV_NAME_BLOCK_TABLE
                " WHERE " QV_NAME_BLOCK_ID " BETWEEN ?1 AND ?2");
        read->bind(1, list.first);
        read->bind(2, last);
    }
    sql += (sql.empty() ? "" : "; ") + read->expandedSql();
    return read;
}

// Reads the name blocks the plan `how` gives for the pattern, matches their names and
// calls onLink(pkg, dir, name) for each link of each matching name. With keep, the
// matching names are kept for the paths asked for later.
template<class OnLink>
void FileSearch::Impl::scanNames(const KeywordPattern &pattern, FilePlan how, bool keep, OnLink onLink)
{
    BlockList list;
    const std::unique_ptr<Statement> read = blockRead(pattern, how, list);
    scanBlocks(*read, list, pattern, keep, onLink);
}

template<class OnLink>
void FileSearch::Impl::scanBlocks(Statement &read, const BlockList &list, const KeywordPattern &pattern, bool keep,
                                  OnLink &onLink)
{
    uint64_t next = 0;
    while (read.step()) {
        checkStop();
        const int64_t id = read.integer(0);
        if (next < list.count && id < int64_t(list.at(next))) {
            continue; // a block between the listed ones
        }
        if (next >= list.count || id != int64_t(list.at(next))) {
            throw FileSearchError("damaged catalogue: name blocks out of order");
        }
        nameBlock(pattern, uint32_t(list.at(next)), read.bytes(1), read.bytes(2), keep, onLink);
        ++next;
    }
    if (next != list.count) {
        throw FileSearchError("damaged catalogue: missing name block");
    }
}

// Matches one block's names and passes on the links of those that match.
template<class OnLink>
void FileSearch::Impl::nameBlock(const KeywordPattern &pattern, uint32_t block, std::string_view namesBlob,
                                 std::string_view linksBlob, bool keep, OnLink &onLink)
{
    decodeTexts(namesBlob, perBlock, texts);
    reader->checkTexts(BlockTable::Names, block, texts);
    const uint64_t mask = pattern.matchBlock(texts);
    if (mask == 0) {
        return;
    }
    decodeLinks(linksBlob, perBlock, links);
    reader->checkLinks(block, links);
    for (uint64_t bits = mask; bits; bits &= bits - 1) {
        const size_t i = size_t(__builtin_ctzll(bits));
        for (uint32_t j = links.begin(i); j < links.end(i); ++j)
            onLink(links.pkgs[j], links.dirs[j], texts.text(i));
    }
    if (!keep) {
        return;
    }
    matchedNames.add(block, mask);
    for (uint64_t bits = mask; bits; bits &= bits - 1) {
        const size_t i = size_t(__builtin_ctzll(bits));
        matchedTexts.add(block * perBlock + uint32_t(i), texts.text(i));
    }
}

bool FileSearch::Impl::nameDirMatches(uint32_t dir)
{
    const auto known = dirVerdicts.find(dir);
    if (known != dirVerdicts.end()) {
        return known->second;
    }
    const bool verdict = dirOfName->matches(reader->dir(dir));
    dirVerdicts.emplace(dir, verdict);
    return verdict;
}

void FileSearch::Impl::searchDirs(IdSet &pkgs)
{
    const uint32_t blocks = reader->blockCount(BlockTable::Dirs);
    if (blocks == 0) {
        return;
    }
    uint32_t first = 0, last = blocks - 1;
    if (plan == FilePlan::DirRange) {
        const uint32_t before = reader->blocksBefore(BlockTable::Dirs, folder);
        const std::string end = prefixEnd(folder);
        const uint32_t upto = end.empty() ? blocks : reader->blocksBefore(BlockTable::Dirs, end);
        if (upto == 0) {
            return;
        }
        first = before > 0 ? before - 1 : 0;
        last = upto - 1;
    }
    Statement read(db, "SELECT " QV_DIR_BLOCK_ID ", " QV_DIR_BLOCK_PATHS ", " QV_DIR_BLOCK_PKGS " FROM " QV_DIR_BLOCK_TABLE
                       " WHERE " QV_DIR_BLOCK_ID " BETWEEN ?1 AND ?2");
    read.bind(1, first);
    read.bind(2, last);
    sql = read.expandedSql();
    IdSet candidates(size_t(reader->maxPackage()) + 1);
    uint64_t next = first;
    while (read.step()) {
        checkStop();
        if (read.integer(0) != int64_t(next)) {
            throw FileSearchError("damaged catalogue: directory blocks out of order");
        }
        matchedDirs.add(uint32_t(next), dirBlock(uint32_t(next), read.bytes(1), read.bytes(2), candidates));
        ++next;
    }
    if (next != uint64_t(last) + 1) {
        throw FileSearchError("damaged catalogue: missing directory block");
    }
    if (everyFileOfDir) {
        pkgs = candidates;
    } else {
        checkPackages(candidates, pkgs);
    }
}

// Which candidate packages ship a matching file. A matching file's name ends with the
// keyword's literal tail: the names that do are found by trigrams, or by reading every
// name block when the passing directories hold too many files for looking up each of
// their names; else the candidates' files are read package by package.
void FileSearch::Impl::checkPackages(const IdSet &candidates, IdSet &pkgs)
{
    const FilePlan tailPlan = namePlanFor(*tailPattern);
    const bool narrow = tailPlan == FilePlan::NameTrigrams
        || (tailPlan == FilePlan::NameEnds && tailPattern->literalSuffix().size() >= 2);
    if (narrow || dirPackagePairs > maxPairsByPackage) {
        std::string path;
        scanNames(*tailPattern, tailPlan, false, [&](uint32_t pkg, uint32_t dir, std::string_view name) {
            if (!candidates.contains(pkg) || pkgs.contains(pkg) || !matchedDirs.contains(dir, perBlock)) {
                return;
            }
            path.assign(reader->dir(dir));
            path += '/';
            path += name;
            if (pathPattern->matches(path)) {
                pkgs.insert(pkg);
            }
        });
        return;
    }
    for (const uint32_t pkg : candidates.ids()) {
        checkStop();
        bool found = false;
        forEachMatch(pkg, [&](const std::string &) {
            found = true;
            return false;
        });
        if (found) {
            pkgs.insert(pkg);
        }
    }
}

// Marks the block's directories that may hold a matching file and takes their packages
// as candidates; returns the mask of those directories.
uint64_t FileSearch::Impl::dirBlock(uint32_t block, std::string_view pathsBlob, std::string_view pkgsBlob, IdSet &candidates)
{
    decodeTexts(pathsBlob, perBlock, texts);
    reader->checkTexts(BlockTable::Dirs, block, texts);
    // The paths with their "/", matched as one block: the keyword's longest literal run
    // is looked for once in all of them.
    slashed.bytes.clear();
    slashed.ends.clear();
    for (size_t i = 0; i < texts.size(); ++i) {
        slashed.bytes.append(texts.text(i)).append(1, '/');
        slashed.ends.push_back(uint32_t(slashed.bytes.size()));
    }
    const uint64_t mask = dirFilter->matchBlock(slashed);
    if (mask == 0) {
        return 0;
    }
    decodeIdLists(pkgsBlob, perBlock, dirPkgs);
    reader->checkDirPackages(block, dirPkgs);
    for (uint64_t bits = mask; bits; bits &= bits - 1) {
        const size_t i = size_t(__builtin_ctzll(bits));
        for (uint32_t j = dirPkgs.begin(i); j < dirPkgs.end(i); ++j)
            candidates.insert(dirPkgs.values[j]);
        dirPackagePairs += dirPkgs.end(i) - dirPkgs.begin(i);
    }
    return mask;
}

// Calls fn(path) for each matching file of the package, in the package's order, while fn
// returns true.
template<class Fn>
void FileSearch::Impl::forEachMatch(uint32_t pkg, Fn fn)
{
    std::vector<FileRef> files;
    reader->files(pkg, files);
    const bool names = isNamePlan();
    uint32_t currentDir = UINT32_MAX;
    bool dirPasses = false;
    std::string dirText;
    std::string path;
    for (const FileRef &file : files) {
        if (names && !everyName && !matchedNames.contains(file.name, perBlock)) {
            continue;
        }
        if (file.dir != currentDir) {
            currentDir = file.dir;
            dirPasses = names ? !dirOfName || nameDirMatches(file.dir) : matchedDirs.contains(file.dir, perBlock);
            if (dirPasses) {
                dirText.assign(reader->dir(file.dir));
            }
        }
        if (!dirPasses) {
            continue;
        }
        path.assign(dirText);
        path += '/';
        std::string_view name;
        path += names && matchedTexts.find(file.name, name) ? name : reader->name(file.name);
        if (!names && !everyFileOfDir && !pathPattern->matches(path)) {
            continue;
        }
        if (!fn(path)) {
            return;
        }
    }
}

FileSearch::FileSearch(sqlite3 *db, const std::string &keyword, StopFn stop)
    : d(std::make_unique<Impl>(db, keyword, stop))
{
    if (const std::string other = PathAliases::otherName(keyword); !other.empty()) {
        alias = std::make_unique<Impl>(db, other, std::move(stop));
    }
}

FileSearch::~FileSearch() = default;

FilePlan FileSearch::plan() const
{
    return d->plan;
}

std::string FileSearch::statement() const
{
    return alias && !alias->sql.empty() ? d->sql + "; " + alias->sql : d->sql;
}

int64_t FileSearch::fileCount() const
{
    if (!d->searched || !alias) {
        return d->searched ? d->files : -1;
    }
    return d->files < 0 || alias->files < 0 ? -1 : d->files + alias->files;
}

std::vector<uint32_t> FileSearch::packages()
{
    try {
        const ReadTransaction transaction(d->db);
        d->search();
        if (alias) {
            alias->search();
            return unite(d->rows, alias->rows);
        }
        return d->rows;
    } catch (const BlobError &e) {
        throw FileSearchError(std::string("damaged catalogue: ") + e.what());
    }
}

std::string FileSearch::firstPath(uint32_t pkg)
{
    try {
        const ReadTransaction transaction(d->db);
        std::string best;
        bool any = false;
        for (Impl *search : {d.get(), alias.get()}) {
            if (!search || !search->ships(pkg)) {
                continue;
            }
            search->forEachMatch(pkg, [&](const std::string &path) {
                if (!any || path < best) {
                    best = path;
                }
                any = true;
                return true;
            });
        }
        // The name blocks' links and the package's own file list are two records of the
        // same files: a row that its files do not bear out is a damaged catalogue's.
        if (!any) {
            throw FileSearchError("damaged catalogue: package " + std::to_string(pkg)
                                  + " ships no file that its name links say it does");
        }
        return best;
    } catch (const BlobError &e) {
        throw FileSearchError(std::string("damaged catalogue: ") + e.what());
    }
}

std::vector<std::string> FileSearch::matchingFiles(uint32_t pkg, size_t max, size_t *total)
{
    try {
        const ReadTransaction transaction(d->db);
        std::vector<std::string> paths;
        for (Impl *search : {d.get(), alias.get()}) {
            if (!search || !search->ships(pkg)) {
                continue;
            }
            search->forEachMatch(pkg, [&](const std::string &path) {
                paths.push_back(path);
                return true;
            });
        }
        std::sort(paths.begin(), paths.end());
        if (total) {
            *total = paths.size();
        }
        if (paths.size() > max) {
            paths.resize(max);
        }
        return paths;
    } catch (const BlobError &e) {
        throw FileSearchError(std::string("damaged catalogue: ") + e.what());
    }
}

std::vector<std::string> packageFiles(sqlite3 *db, uint32_t pkg, size_t max, const FileSearch::StopFn &stop,
                                      size_t *total)
{
    // Asked once every this many files: a list of millions stops within milliseconds.
    constexpr size_t stopEvery = 4096;
    size_t made = 0;
    const auto askStop = [&stop, &made] {
        if (stop && ++made % stopEvery == 0 && stop()) {
            throw FileSearchError("search stopped");
        }
    };
    try {
        const ReadTransaction transaction(db);
        BlockReader reader(db);
        std::vector<FileRef> files;
        reader.files(pkg, files);
        if (total) {
            *total = files.size();
        }
        if (files.size() > max) {
            files.resize(max);
            files.shrink_to_fit();
        }
        // The names in the order of their ids, so that each name block is decoded once
        // (a big package's names are spread over thousands of blocks); the directories
        // come in order already.
        const std::vector<uint32_t> byName = placesByName(files);
        // The names are copied out one after the other, then the paths made in one buffer
        // of the size they take and sorted as views of it, each copied out once, in order.
        std::string names;
        std::vector<std::pair<size_t, size_t>> nameAt(files.size()); // where and how long
        for (const uint32_t i : byName) {
            askStop();
            const std::string_view name = reader.name(files[i].name);
            nameAt[i] = {names.size(), name.size()};
            names += name;
        }
        size_t size = names.size() + files.size(); // the names and a "/" each
        for (size_t i = 0, end = 0; i < files.size(); i = end) {
            for (end = i + 1; end < files.size() && files[end].dir == files[i].dir; ++end) {
            }
            size += reader.dir(files[i].dir).size() * (end - i);
        }
        std::string all;
        all.reserve(size);
        std::vector<std::pair<size_t, size_t>> pathAt(files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            askStop();
            const size_t begin = all.size();
            all.append(reader.dir(files[i].dir)).append(1, '/').append(names, nameAt[i].first, nameAt[i].second);
            pathAt[i] = {begin, all.size() - begin};
        }
        std::vector<std::string_view> sorted(files.size());
        for (size_t i = 0; i < files.size(); ++i)
            sorted[i] = std::string_view(all).substr(pathAt[i].first, pathAt[i].second);
        sortPaths(sorted);
        return std::vector<std::string>(sorted.begin(), sorted.end());
    } catch (const BlobError &e) {
        throw FileSearchError(std::string("damaged catalogue: ") + e.what());
    }
}
