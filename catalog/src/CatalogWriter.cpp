#include "CatalogWriter.h"

#include "FileIndex.h"
#include "FtsSideBuilder.h"
#include "PackageIndex.h"
#include "SqliteDb.h"

#include <catalogueschema.h>

#include <memory>
#include <string>

namespace {

// The file is a private temporary that is renamed into place only after a
// successful run, so durability on crash is not needed here.
const char *const kPragmas = "PRAGMA journal_mode=OFF;"
                             "PRAGMA synchronous=OFF;"
                             "PRAGMA locking_mode=EXCLUSIVE;"
                             "PRAGMA cache_size=-65536;";

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

void writeNames(SqliteDb &db, const FileIndex &files)
{
    db.exec(QV_CREATE_NAME_TABLE);
    SqliteDb::Statement insert(db, "INSERT INTO " QV_NAME_TABLE " VALUES (?1, ?2)");
    for (uint32_t id = 1; id <= files.names().size(); ++id) {
        insert.bind(1, int64_t(id));
        insert.bind(2, files.names().text(id));
        insert.run();
    }
}

void writeDirs(SqliteDb &db, const FileIndex &files)
{
    db.exec(QV_CREATE_DIR_TABLE);
    SqliteDb::Statement insert(db, "INSERT INTO " QV_DIR_TABLE " VALUES (?1, ?2)");
    for (uint32_t id = 1; id <= files.dirs().size(); ++id) {
        const std::string path = files.dirPath(id);
        insert.bind(1, int64_t(id));
        insert.bind(2, path);
        insert.run();
    }
}

void writeLinks(SqliteDb &db, const FileIndex &files)
{
    // Keyed by name_id (the links come sorted so): the table is its own index on
    // name_id, where a rowid table needed a second copy of every link for it.
    db.exec(QV_CREATE_LINK_TABLE);
    SqliteDb::Statement insert(db, "INSERT INTO " QV_LINK_TABLE " VALUES (?1, ?2, ?3)");
    for (const FileIndex::Link &link : files.links()) {
        insert.bind(1, int64_t(link.pkg));
        insert.bind(2, int64_t(link.dir));
        insert.bind(3, int64_t(link.name));
        insert.run();
    }
}

void writeFileIndexes(SqliteDb &db, FtsSideBuilder &fts)
{
    // Searching by directory (qv_file_dir_fts, then the files in the matching
    // directories) scans all of qv_pkg_file_t without this index (catalog/README.md
    // has the figures, catalog/bench/dir-index-query.sh measures them).
    db.exec(QV_CREATE_LINK_DIR_INDEX);
    // Searches that match most packages (a file-name "*", "*a*") go package by package.
    db.exec(QV_CREATE_LINK_PKG_INDEX);
    db.exec(QV_CREATE_NAME_NOCASE_INDEX);
    // Suffix keywords (*.h, *.so) find their names through the reversed suffixes instead
    // of a walk through every distinct name.
    db.exec(QV_CREATE_SUFFIX_TABLE);
    db.exec(QV_FILL_SUFFIX_TABLE);
    db.exec(QV_CREATE_PKG_SUFFIX_TABLE);
    db.exec(QV_FILL_PKG_SUFFIX_TABLE);
    db.exec(QV_CREATE_NAME_FTS);
    db.exec(QV_CREATE_DIR_FTS);
    fts.copyInto(db, QV_NAME_FTS, QV_DIR_FTS);
}

} // namespace

void CatalogWriter::write(const std::string &path, const PackageIndex &packages,
                          const FileIndex *files, FtsSideBuilder *fts, const StepFn &onStep)
{
    const int steps = files ? 5 : 1;
    auto step = [&](const char *name, int index) {
        if (onStep)
            onStep(name, index, steps);
    };
    SqliteDb db(path);
    db.exec(kPragmas);
    db.exec("BEGIN");
    step("packages", 0);
    writePackages(db, packages);
    if (files) {
        step("file names", 1);
        writeNames(db, *files);
        step("directories", 2);
        writeDirs(db, *files);
        step("file links", 3);
        writeLinks(db, *files);
        step("indexes", 4);
        writeFileIndexes(db, *fts);
    }
    db.exec("COMMIT");
    db.close();
}
