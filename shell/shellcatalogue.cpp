#include "shellcatalogue.h"

#include <catalogueblobs.h>
#include <cataloguepaths.h>
#include <catalogueschema.h>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace {

// A catalogue is read in milliseconds; a writer holding it longer is waited for this long.
constexpr int busyTimeoutMs = 2000;

using StatementPtr = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

StatementPtr prepare(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        throw CatalogueError(std::string("软件包目录无法读取：") + sqlite3_errmsg(db));
    }
    return StatementPtr(stmt, &sqlite3_finalize);
}

std::string textColumn(sqlite3_stmt *stmt, int column)
{
    const unsigned char *text = sqlite3_column_text(stmt, column);
    return text ? std::string(reinterpret_cast<const char *>(text), size_t(sqlite3_column_bytes(stmt, column))) : "";
}

bool step(sqlite3 *db, sqlite3_stmt *stmt)
{
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        throw CatalogueError(std::string("软件包目录无法读取：") + sqlite3_errmsg(db));
    }
    return rc == SQLITE_ROW;
}

int64_t pragma(sqlite3 *db, const char *name)
{
    const StatementPtr stmt = prepare(db, std::string("PRAGMA ") + name);
    return step(db, stmt.get()) ? sqlite3_column_int64(stmt.get(), 0) : 0;
}

// The first bytes of an SQLite database, read without blocking on a FIFO put in its place.
bool looksLikeDatabase(const std::string &path)
{
    struct stat st = {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char header[16] = {};
    const bool ok = read(fd, header, sizeof header) == ssize_t(sizeof header) && memcmp(header, "SQLite format 3", 16) == 0;
    close(fd);
    return ok;
}

// The finder's package-name pattern: the stars at either end become "%".
std::string namePattern(const std::string &keyword)
{
    std::string pattern = keyword;
    const bool lead = !pattern.empty() && pattern.front() == '*';
    const bool trail = pattern.size() > 1 && pattern.back() == '*';
    if (lead) {
        pattern.front() = '%';
    }
    if (trail) {
        pattern.back() = '%';
    }
    return pattern;
}

} // namespace

std::vector<std::string> ShellCatalogue::places()
{
    return {CataloguePaths::fileName(), CataloguePaths::userPath(), CataloguePaths::systemPath()};
}

std::string ShellCatalogue::locate()
{
    for (const std::string &place : places()) {
        if (CataloguePaths::isFile(place)) {
            return place;
        }
    }
    return {};
}

ShellCatalogue::ShellCatalogue(const std::string &path)
    : file(path)
{
    if (!CataloguePaths::isFile(path)) {
        throw CatalogueError("没有找到软件包目录 " + path);
    }
    if (!looksLikeDatabase(path)) {
        throw CatalogueError(path + " 不是 quorvi-catalog 生成的软件包目录");
    }
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        const std::string why = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        db = nullptr;
        throw CatalogueError("无法打开软件包目录 " + path + "：" + why);
    }
    sqlite3_busy_timeout(db, busyTimeoutMs);
    try {
        checkFormat();
    } catch (...) {
        sqlite3_close(db);
        db = nullptr;
        throw;
    }
}

ShellCatalogue::~ShellCatalogue()
{
    sqlite3_close(db);
}

void ShellCatalogue::checkFormat() const
{
    const int64_t version = pragma(db, "user_version");
    if (pragma(db, "application_id") != QV_APPLICATION_ID || version != QV_FORMAT_VERSION) {
        throw CatalogueError(file + " 是格式 " + std::to_string(version) + " 的软件包目录，这里只能读格式 "
                             + std::to_string(QV_FORMAT_VERSION));
    }
    const StatementPtr tables = prepare(
        db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('" QV_PKG_TABLE "', '" QV_NAME_BLOCK_TABLE
            "', '" QV_DIR_BLOCK_TABLE "', '" QV_PKG_FILES_TABLE "', '" QV_TRIGRAM_TABLE "')");
    if (!step(db, tables.get()) || sqlite3_column_int(tables.get(), 0) != 5) {
        throw CatalogueError(file + " 缺少软件包目录的表");
    }
}

std::vector<PackageRow> ShellCatalogue::rows(const std::string &sql, const std::vector<std::string> &texts) const
{
    const StatementPtr stmt = prepare(db, sql);
    for (size_t i = 0; i < texts.size(); ++i) {
        sqlite3_bind_text(stmt.get(), int(i + 1), texts[i].data(), int(texts[i].size()), SQLITE_TRANSIENT);
    }
    std::vector<PackageRow> found;
    while (step(db, stmt.get())) {
        found.push_back({uint32_t(sqlite3_column_int64(stmt.get(), 0)), textColumn(stmt.get(), 1),
                         textColumn(stmt.get(), 2), textColumn(stmt.get(), 3), textColumn(stmt.get(), 4)});
    }
    return found;
}

#define QV_SHELL_ROW "SELECT " QV_PKG_ID ", " QV_PKG_NAME ", " QV_PKG_VER ", " QV_PKG_REL ", " QV_PKG_ARCH " FROM " QV_PKG_TABLE

PackageRow ShellCatalogue::package(uint32_t id) const
{
    const std::vector<PackageRow> found = rows(QV_SHELL_ROW " WHERE " QV_PKG_ID " = ?1", {std::to_string(id)});
    if (found.empty()) {
        throw CatalogueError("软件包目录已损坏：没有序号为 " + std::to_string(id) + " 的软件包");
    }
    return found.front();
}

std::vector<PackageRow> ShellCatalogue::packagesNamed(const std::string &name, const std::string &arch) const
{
    if (arch.empty()) {
        return rows(QV_SHELL_ROW " WHERE " QV_PKG_NAME " = ?1 ORDER BY " QV_PKG_ID, {name});
    }
    return rows(QV_SHELL_ROW " WHERE " QV_PKG_NAME " = ?1 AND " QV_PKG_ARCH " = ?2 ORDER BY " QV_PKG_ID, {name, arch});
}

std::vector<PackageRow> ShellCatalogue::searchNames(const std::string &keyword) const
{
    return rows(QV_SHELL_ROW " WHERE " QV_PKG_NAME " LIKE ?1", {namePattern(keyword)});
}

PackageDetails ShellCatalogue::details(const PackageRow &row) const
{
    PackageDetails details;
    details.row = row;
    details.version = row.ver + '-' + row.rel;
    const StatementPtr has = prepare(db, "SELECT count(*) FROM sqlite_master WHERE name = '" QV_PKG_INFO_TABLE "'");
    if (!step(db, has.get()) || sqlite3_column_int(has.get(), 0) == 0) {
        return details;
    }
    const StatementPtr stmt = prepare(db, "SELECT " QV_PKG_INFO_VERSION ", " QV_PKG_INFO_SUMMARY ", " QV_PKG_INFO_SECTION
                                          " FROM " QV_PKG_INFO_TABLE " WHERE " QV_PKG_INFO_PKG " = ?1");
    sqlite3_bind_int64(stmt.get(), 1, row.id);
    if (step(db, stmt.get())) {
        details.hasDetails = true;
        details.version = textColumn(stmt.get(), 0);
        details.summary = textColumn(stmt.get(), 1);
        details.section = textColumn(stmt.get(), 2);
    }
    return details;
}
