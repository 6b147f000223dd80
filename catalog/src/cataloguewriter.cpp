#include "cataloguewriter.h"

#include "fileindex.h"
#include "packageindex.h"
#include "sqlitedb.h"
#include "trigramindex.h"

#include <catalogueblobs.h>
#include <catalogueschema.h>

#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string>
#include <vector>

namespace {

using CatalogueBlobs::FileRef;

// What a step freed in small pieces (the packages' rows, the directories' texts) lies
// between what is still in use, where glibc keeps it: its pages go back to the system
// here, before the next step allocates its own.
void releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
using Link = LinkStore::Link;

// The file is a private temporary that is renamed into place only after a
// successful run, so durability on crash is not needed here. Every table is written
// in rowid order, so a small page cache (8 MiB) does.
// 8 KiB pages: the BLOBs of a block are about 1 KB each, and twice SQLite's default page
// holds more of them a page, 5 % of Debian bookworm's catalogue less in page overhead.
const char *const kPragmas = "PRAGMA page_size=8192;"
                             "PRAGMA journal_mode=OFF;"
                             "PRAGMA synchronous=OFF;"
                             "PRAGMA locking_mode=EXCLUSIVE;"
                             "PRAGMA cache_size=-8192;";

void writeFormat(SqliteDb &db)
{
    db.exec(("PRAGMA user_version = " + std::to_string(QV_FORMAT_VERSION)).c_str());
    db.exec(("PRAGMA application_id = " + std::to_string(QV_APPLICATION_ID)).c_str());
}

void writePackages(SqliteDb &db, const PackageIndex &packages)
{
    db.exec(QV_CREATE_PKG_TABLE);
    SqliteDb::Statement insert(db, "INSERT INTO " QV_PKG_TABLE " VALUES (?1, ?2, ?3, ?4, ?5)");
    for (uint32_t id = 1; id <= packages.size(); ++id) {
        const PackageIndex::Row &row = packages.row(id);
        insert.bind(1, int64_t(id));
        insert.bind(2, row.name);
        insert.bind(3, row.ver);
        insert.bind(4, row.rel);
        insert.bind(5, row.arch);
        insert.run();
    }
    db.exec(QV_CREATE_PKG_NAME_INDEX);
}

// The version as the package manager writes it: dnf leaves out an epoch of 0, which
// repodata always gives.
std::string shownVersion(const PackageIndex::Row &row)
{
    if (row.scheme == VersionScheme::Rpm && row.fullVersion.compare(0, 2, "0:") == 0) {
        return row.fullVersion.substr(2);
    }
    return row.fullVersion;
}

// Only the description's first line: a summary is one line in the finder's details.
std::string_view firstLine(std::string_view text)
{
    return text.substr(0, text.find('\n'));
}

void writePackageInfo(SqliteDb &db, const PackageIndex &packages)
{
    db.exec(QV_CREATE_PKG_INFO_TABLE);
    SqliteDb::Statement insert(db, "INSERT INTO " QV_PKG_INFO_TABLE " VALUES (?1, ?2, ?3, ?4)");
    for (uint32_t id = 1; id <= packages.size(); ++id) {
        const PackageIndex::Row &row = packages.row(id);
        const std::string version = shownVersion(row); // bound texts live until run()
        insert.bind(1, int64_t(id));
        insert.bind(2, version);
        insert.bind(3, firstLine(row.summary));
        insert.bind(4, row.section);
        insert.run();
    }
}

// One row of a block table: its id, its first text folded, and two BLOBs.
void insertBlock(SqliteDb::Statement &insert, uint32_t block, std::string_view first,
                 const std::string &texts, const std::string &lists)
{
    const std::string folded = CatalogueBlobs::folded(first);
    insert.bind(1, int64_t(block));
    insert.bind(2, folded);
    insert.bindBlob(3, texts);
    insert.bindBlob(4, lists);
    insert.run();
}

// The name blocks, with each name's (package, directory) pairs from the links in
// name order.
class NameBlocks
{
public:
    NameBlocks(SqliteDb &db, const FileIndex &files)
        : m_files(files),
          m_insert(db, "INSERT INTO " QV_NAME_BLOCK_TABLE " (" QV_NAME_BLOCK_ID ", " QV_NAME_BLOCK_FIRST
                       ", " QV_NAME_BLOCK_NAMES ", " QV_NAME_BLOCK_LINKS ") VALUES (?1, ?2, ?3, ?4)")
    {
    }

    void add(const Link &link)
    {
        while (link.name > m_current)
            endName();
        m_pkgs.push_back(link.pkg);
        m_dirs.push_back(link.dir);
    }

    void finish()
    {
        while (m_current < m_files.nameCount())
            endName();
    }

private:
    void endName()
    {
        m_ends.push_back(uint32_t(m_pkgs.size()));
        ++m_current;
        if (m_current % QV_NAMES_PER_BLOCK == 0 || m_current == m_files.nameCount()) {
            writeBlock();
        }
    }

    void writeBlock()
    {
        const auto first = uint32_t(m_current - m_ends.size());
        std::vector<std::string_view> names;
        for (uint32_t id = first; id < m_current; ++id)
            names.push_back(m_files.nameAt(id));
        insertBlock(m_insert, first / QV_NAMES_PER_BLOCK, names.front(), CatalogueBlobs::encodeTexts(names),
                    CatalogueBlobs::encodeLinks(m_ends, m_pkgs, m_dirs));
        m_ends.clear();
        m_pkgs.clear();
        m_dirs.clear();
    }

    const FileIndex &m_files;
    SqliteDb::Statement m_insert;
    size_t m_current = 0; // the name whose pairs come now
    std::vector<uint32_t> m_ends;
    std::vector<uint32_t> m_pkgs;
    std::vector<uint32_t> m_dirs;
};

void writeNameBlocks(SqliteDb &db, FileIndex &files)
{
    db.exec(QV_CREATE_NAME_BLOCK_TABLE);
    NameBlocks blocks(db, files);
    files.links().forEach(LinkStore::Order::ByName, [&blocks](const Link &link) { blocks.add(link); });
    blocks.finish();
}

// The directory blocks, each directory with the packages that ship a file directly in
// it: the distinct (directory, package) pairs of the links in package order.
void writeDirBlocks(SqliteDb &db, FileIndex &files)
{
    std::vector<uint64_t> pairs;
    Link last{0, 0, 0};
    bool any = false;
    files.links().forEach(LinkStore::Order::ByPackage, [&](const Link &link) {
        if (!any || link.pkg != last.pkg || link.dir != last.dir) {
            pairs.push_back(uint64_t(link.dir) << 32 | link.pkg);
        }
        last = link;
        any = true;
    });
    std::sort(pairs.begin(), pairs.end());

    db.exec(QV_CREATE_DIR_BLOCK_TABLE);
    SqliteDb::Statement insert(db, "INSERT INTO " QV_DIR_BLOCK_TABLE " (" QV_DIR_BLOCK_ID ", " QV_DIR_BLOCK_FIRST
                                   ", " QV_DIR_BLOCK_PATHS ", " QV_DIR_BLOCK_PKGS ") VALUES (?1, ?2, ?3, ?4)");
    size_t next = 0; // the first pair not yet in a block
    std::vector<std::string> paths;
    std::vector<std::string_view> texts;
    CatalogueBlobs::IdLists pkgs;
    for (uint32_t first = 0; first < files.dirCount(); first += QV_DIRS_PER_BLOCK) {
        const auto end = uint32_t(std::min<size_t>(first + QV_DIRS_PER_BLOCK, files.dirCount()));
        paths.clear();
        pkgs.ends.clear();
        pkgs.values.clear();
        for (uint32_t dir = first; dir < end; ++dir) {
            paths.push_back(files.dirPathAt(dir));
            for (; next < pairs.size() && uint32_t(pairs[next] >> 32) == dir; ++next)
                pkgs.values.push_back(uint32_t(pairs[next]));
            pkgs.ends.push_back(uint32_t(pkgs.values.size()));
        }
        texts.assign(paths.begin(), paths.end());
        insertBlock(insert, first / QV_DIRS_PER_BLOCK, paths.front(), CatalogueBlobs::encodeTexts(texts),
                    CatalogueBlobs::encodeIdLists(pkgs));
    }
}

// Each package's files, from the links in package order.
void writePackageFiles(SqliteDb &db, FileIndex &files)
{
    db.exec(QV_CREATE_PKG_FILES_TABLE);
    SqliteDb::Statement insert(db, "INSERT INTO " QV_PKG_FILES_TABLE " (" QV_PKG_FILES_PKG ", " QV_PKG_FILES_DATA
                                   ") VALUES (?1, ?2)");
    uint32_t pkg = 0;
    std::vector<FileRef> refs;
    const auto flush = [&] {
        if (refs.empty()) {
            return;
        }
        const std::string blob = CatalogueBlobs::encodeFiles(refs);
        insert.bind(1, int64_t(pkg));
        insert.bindBlob(2, blob);
        insert.run();
        refs.clear();
    };
    files.links().forEach(LinkStore::Order::ByPackage, [&](const Link &link) {
        if (link.pkg != pkg) {
            flush();
        }
        pkg = link.pkg;
        refs.push_back({link.dir, link.name});
    });
    flush();
}

} // namespace

void CatalogueWriter::write(const std::string &path, PackageIndex &packages, FileIndex *files,
                          const StepFn &onStep)
{
    const int steps = files ? 5 : 1;
    auto step = [&](const char *name, int index) {
        if (onStep) {
            onStep(name, index, steps);
        }
    };
    SqliteDb db(path);
    db.exec(kPragmas);
    db.exec("BEGIN");
    writeFormat(db);
    step("packages", 0);
    writePackages(db, packages);
    writePackageInfo(db, packages);
    packages.releaseRows();
    releaseFreedMemory();
    if (files) {
        files->finish();
    }
    if (files) {
        step("file names", 1);
        writeNameBlocks(db, *files);
        step("directories", 2);
        writeDirBlocks(db, *files);
        files->releaseDirectories();
        releaseFreedMemory();
        step("file links", 3);
        writePackageFiles(db, *files);
        files->links().clear();
        step("indexes", 4);
        TrigramIndex(*files).write(db);
    }
    db.exec("COMMIT");
    db.close();
}
