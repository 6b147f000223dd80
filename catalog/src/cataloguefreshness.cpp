#include "cataloguefreshness.h"

#include "rpmdatabase.h"
#include "sqlitedb.h"

#include <catalogueschema.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cataloguepaths.h>

namespace {
bool later(const timespec &a, const timespec &b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// A repository is named by its root or its repodata/ folder; repomd.xml is replaced
// whenever any of its metadata is.
std::string repomdOf(const std::string &repository)
{
    const std::string inside = repository + "/repodata/repomd.xml";
    return CataloguePaths::isFile(inside) ? inside : repository + "/repomd.xml";
}

std::string absolute(const std::string &path)
{
    char cwd[PATH_MAX];
    if (path.empty() || path[0] == '/' || !getcwd(cwd, sizeof cwd)) {
        return path;
    }
    return std::string(cwd) + "/" + path;
}

// What the catalogue says of itself: its format version and its build record, sorted
// by key. False when it cannot be read.
bool readRecord(const std::string &catalogue, int &version,
                std::vector<std::pair<std::string, std::string>> &record)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(catalogue.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    sqlite3_stmt *stmt = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &stmt, nullptr) == SQLITE_OK
         && sqlite3_step(stmt) == SQLITE_ROW;
    version = ok ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    stmt = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "SELECT " QV_BUILD_KEY ", " QV_BUILD_VALUE " FROM " QV_BUILD_TABLE
                                      " ORDER BY " QV_BUILD_KEY,
                                  -1, &stmt, nullptr) == SQLITE_OK;
    int rc = SQLITE_ROW;
    while (ok && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto text = [stmt](int column) {
            const auto *value = sqlite3_column_text(stmt, column);
            return std::string(value ? reinterpret_cast<const char *>(value) : "");
        };
        record.emplace_back(text(0), text(1));
    }
    ok = ok && rc == SQLITE_DONE;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return ok;
}
} // namespace

std::vector<std::string> CatalogueFreshness::inputsOf(const BuildOptions &build,
                                                      const std::vector<std::string> &folders)
{
    std::vector<std::string> inputs = folders;
    inputs.insert(inputs.end(), build.packages.begin(), build.packages.end());
    inputs.insert(inputs.end(), build.contents.begin(), build.contents.end());
    for (const std::string &repository : build.repodata)
        inputs.push_back(repomdOf(repository));
    for (const std::string &root : build.rpmdbRoots) {
        const std::vector<std::string> files = RpmDatabase::databaseFiles(root);
        inputs.insert(inputs.end(), files.begin(), files.end());
        if (files.empty()) {
            inputs.emplace_back(); // no database to date: the catalogue is stale
        }
    }
    if (!build.dpkgStatus.empty()) {
        inputs.push_back(build.dpkgStatus);
    }
    if (!build.dpkgInfo.empty()) {
        inputs.push_back(build.dpkgInfo);
    }
    return inputs;
}

std::vector<std::pair<std::string, std::string>> CatalogueFreshness::describe(const BuildOptions &build)
{
    std::string sources;
    const auto add = [&sources](const char *option, const std::string &path) {
        sources += std::string(option) + ' ' + absolute(path) + '\n';
    };
    for (const std::string &path : build.packages)
        add("--packages", path);
    for (const std::string &path : build.contents)
        add("--contents", path);
    for (const std::string &path : build.repodata)
        add("--repodata", path);
    for (const std::string &root : build.rpmdbRoots)
        add("--rpmdb", root);
    if (!build.dpkgStatus.empty()) {
        add("--dpkg-status", build.dpkgStatus);
        add("--dpkg-info", build.dpkgInfo);
    }
    // Sorted by key, as readRecord() gives them back.
    return {{"all-versions", build.allVersions ? "yes" : "no"},
            {"directories-on-disk", build.dpkgOnThisSystem ? "left out" : "kept"},
            {"sources", sources}};
}

void CatalogueFreshness::record(SqliteDb &db, const BuildOptions &build)
{
    db.exec(QV_CREATE_BUILD_TABLE);
    SqliteDb::Statement insert(db, "INSERT INTO " QV_BUILD_TABLE " VALUES (?1, ?2)");
    for (const auto &[key, value] : describe(build)) {
        insert.bind(1, key);
        insert.bind(2, value);
        insert.run();
    }
}

bool CatalogueFreshness::isUpToDate(const std::string &catalogue, const std::vector<std::string> &inputs,
                                    const BuildOptions &build)
{
    struct stat made = {};
    if (stat(catalogue.c_str(), &made) != 0 || !S_ISREG(made.st_mode)) {
        return false;
    }
    int version = -1;
    std::vector<std::pair<std::string, std::string>> record;
    if (!readRecord(catalogue, version, record) || version != QV_FORMAT_VERSION
        || record != describe(build)) {
        return false;
    }
    for (const std::string &input : inputs) {
        struct stat st = {};
        if (stat(input.c_str(), &st) != 0) {
            return false;
        }
        const timespec arrived = later(st.st_ctim, st.st_mtim) ? st.st_ctim : st.st_mtim;
        if (!later(made.st_mtim, arrived)) {
            return false;
        }
    }
    return true;
}

timespec CatalogueFreshness::now()
{
    timespec t = {};
    // The coarse clock is the one file times come from: an input changed after this
    // moment never carries an earlier time than it.
    clock_gettime(CLOCK_REALTIME_COARSE, &t);
    return t;
}

bool CatalogueFreshness::stamp(const std::string &catalogue, const timespec &started)
{
    const timespec times[2] = {{0, UTIME_OMIT}, started};
    return utimensat(AT_FDCWD, catalogue.c_str(), times, 0) == 0;
}
