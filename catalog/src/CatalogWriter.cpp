#include "CatalogWriter.h"

#include "FileIndex.h"
#include "FtsSideBuilder.h"
#include "PackageIndex.h"
#include "SqliteDb.h"

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
    db.exec("CREATE TABLE qv_pkg_list_t (id INTEGER PRIMARY KEY, name TEXT NOT NULL,"
            " ver TEXT NOT NULL, rel TEXT NOT NULL, arch TEXT NOT NULL)");
    SqliteDb::Statement insert(db, "INSERT INTO qv_pkg_list_t VALUES (?1, ?2, ?3, ?4, ?5)");
    for (uint32_t id = 1; id <= packages.size(); ++id) {
        const PackageIndex::Row &row = packages.row(id);
        insert.bind(1, int64_t(id));
        insert.bind(2, row.name);
        insert.bind(3, row.ver);
        insert.bind(4, row.rel);
        insert.bind(5, row.arch);
        insert.run();
    }
    db.exec("CREATE INDEX qv_pkg_list_name_idx ON qv_pkg_list_t(name COLLATE NOCASE)");
}

void writeNames(SqliteDb &db, const FileIndex &files)
{
    db.exec("CREATE TABLE qv_file_name_t (id INTEGER PRIMARY KEY, name TEXT NOT NULL)");
    SqliteDb::Statement insert(db, "INSERT INTO qv_file_name_t VALUES (?1, ?2)");
    for (uint32_t id = 1; id <= files.names().size(); ++id) {
        insert.bind(1, int64_t(id));
        insert.bind(2, files.names().text(id));
        insert.run();
    }
}

void writeDirs(SqliteDb &db, const FileIndex &files)
{
    db.exec("CREATE TABLE qv_file_dir_t (id INTEGER PRIMARY KEY, path TEXT NOT NULL)");
    SqliteDb::Statement insert(db, "INSERT INTO qv_file_dir_t VALUES (?1, ?2)");
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
    db.exec("CREATE TABLE qv_pkg_file_t (pkg_id INTEGER NOT NULL, dir_id INTEGER NOT NULL,"
            " name_id INTEGER NOT NULL, PRIMARY KEY (name_id, dir_id, pkg_id)) WITHOUT ROWID");
    SqliteDb::Statement insert(db, "INSERT INTO qv_pkg_file_t VALUES (?1, ?2, ?3)");
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
    // directories) scans all of qv_pkg_file_t without this index: ~1 s
    // against ~20 ms on Debian bookworm main (catalog/bench/dir-index-query.sh).
    db.exec("CREATE INDEX qv_pkg_file_dir_idx ON qv_pkg_file_t(dir_id)");
    db.exec("CREATE INDEX qv_file_name_nocase_idx ON qv_file_name_t(name COLLATE NOCASE)");
    const std::string tokenize = FtsSideBuilder::kTokenize;
    db.exec(("CREATE VIRTUAL TABLE qv_file_name_fts USING fts5(name, content='qv_file_name_t',"
             " content_rowid='id', "
             + tokenize + ")")
                .c_str());
    db.exec(("CREATE VIRTUAL TABLE qv_file_dir_fts USING fts5(path, content='qv_file_dir_t',"
             " content_rowid='id', "
             + tokenize + ")")
                .c_str());
    fts.copyInto(db, "qv_file_name_fts", "qv_file_dir_fts");
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
