#include "enginerun.h"
#include "benchutil.h"

#include <catalogueblobs.h>
#include <catalogueschema.h>
#include <filesearch.h>

#include <sqlite3.h>

#include <algorithm>
#include <string_view>

namespace {

// A read-only connection that closes itself.
struct Connection
{
    sqlite3 *db = nullptr;
    explicit Connection(const QString &path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            db = nullptr;
        }
    }
    ~Connection() { sqlite3_close(db); }
};

QString packageName(sqlite3 *db, long long id)
{
    QString name;
    sqlite3_stmt *stmt = nullptr;
    const char *sql = "SELECT " QV_PKG_NAME " || '-' || " QV_PKG_VER " || '-' || " QV_PKG_REL " || '.' || " QV_PKG_ARCH
                      " FROM " QV_PKG_TABLE " WHERE " QV_PKG_ID " = ?1";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_int64(stmt, 1, id);
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            name = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        }
    }
    sqlite3_finalize(stmt);
    return name;
}

} // namespace

EngineRun runEngine(const QString &dbPath, const QString &keyword, int paths)
{
    EngineRun run;
    Connection c(dbPath);
    if (!c.db) {
        run.error = QStringLiteral("cannot open %1").arg(dbPath);
        return run;
    }
    try {
        FileSearch search(c.db, keyword.toStdString());
        const std::vector<uint32_t> pkgs = search.packages();
        size_t bytes = 0;
        for (size_t i = 0; i < pkgs.size() && i < size_t(paths); ++i)
            bytes += search.firstPath(pkgs[i]).size();
        keep(bytes);
        run.rows = static_cast<long long>(pkgs.size());
        run.plan = QString::fromLatin1(filePlanName(search.plan()));
        run.statement = QString::fromStdString(search.statement());
    } catch (const std::exception &e) {
        run.error = QString::fromStdString(e.what());
    }
    return run;
}

LargestPackage largestPackage(const QString &dbPath)
{
    LargestPackage largest;
    Connection c(dbPath);
    sqlite3_stmt *stmt = nullptr;
    if (!c.db
        || sqlite3_prepare_v2(c.db, "SELECT " QV_PKG_FILES_PKG ", " QV_PKG_FILES_DATA " FROM " QV_PKG_FILES_TABLE, -1,
                              &stmt, nullptr) != SQLITE_OK) {
        return largest;
    }
    std::vector<CatalogueBlobs::FileRef> files;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const std::string_view blob(static_cast<const char *>(sqlite3_column_blob(stmt, 1)),
                                    size_t(sqlite3_column_bytes(stmt, 1)));
        try {
            CatalogueBlobs::decodeFiles(blob, files);
        } catch (const CatalogueBlobs::BlobError &) {
            continue;
        }
        if (static_cast<long long>(files.size()) > largest.files) {
            largest.files = static_cast<long long>(files.size());
            largest.id = sqlite3_column_int64(stmt, 0);
        }
    }
    sqlite3_finalize(stmt);
    if (largest.id >= 0) {
        largest.name = packageName(c.db, largest.id);
    }
    return largest;
}

long long readPackageFiles(const QString &dbPath, uint32_t pkg)
{
    Connection c(dbPath);
    if (!c.db) {
        return -1;
    }
    try {
        return static_cast<long long>(packageFiles(c.db, pkg).size());
    } catch (const std::exception &) {
        return -1;
    }
}
