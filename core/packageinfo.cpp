#include "packageinfo.h"
#include "cataloguequery.h"

#include <QVariant>

#include <catalogueschema.h>

namespace {
// No text the details show is longer than this: a damaged or hostile catalogue's cell
// must not take the memory.
#define QV_SHOWN_TEXT(column) "substr(" column ", 1, 4096)"

const char packageRow[] = "SELECT " QV_SHOWN_TEXT(QV_PKG_NAME) ", " QV_SHOWN_TEXT(QV_PKG_VER) ", " QV_SHOWN_TEXT(
    QV_PKG_REL) ", " QV_SHOWN_TEXT(QV_PKG_ARCH) " FROM " QV_PKG_TABLE " WHERE " QV_PKG_ID " = ?";
const char detailsRow[] = "SELECT " QV_SHOWN_TEXT(QV_PKG_INFO_VERSION) ", " QV_SHOWN_TEXT(
    QV_PKG_INFO_SUMMARY) ", " QV_SHOWN_TEXT(QV_PKG_INFO_SECTION) " FROM " QV_PKG_INFO_TABLE " WHERE " QV_PKG_INFO_PKG
                          " = ?";
const char detailsSchema[] = "SELECT type, sql FROM sqlite_master WHERE name = '" QV_PKG_INFO_TABLE "' COLLATE NOCASE";
const char detailsColumns[] = "PRAGMA table_xinfo(" QV_PKG_INFO_TABLE ")";

// False with *error set when the query ended in an error.
bool succeeded(const CatalogueQuery &query, CatalogueError *error)
{
    if (!query.lastError().isValid()) {
        return true;
    }
    *error = query.lastError();
    return false;
}
} // namespace

bool PackageInfo::read(sqlite3 *db, qint64 id, PackageInfo &info, CatalogueError *error)
{
    info = PackageInfo();
    CatalogueQuery query(db);
    query.prepare(QLatin1String(packageRow));
    query.addBindValue(id);
    if (!query.exec()) {
        return succeeded(query, error);
    }
    if (!query.next()) {
        return succeeded(query, error); // no such package
    }
    info.found = true;
    info.name = query.value(0).toString();
    info.ver = query.value(1).toString();
    info.rel = query.value(2).toString();
    info.arch = query.value(3).toString();
    info.version = info.ver + QLatin1Char('-') + info.rel;
    bool usable = false;
    if (!detailsTableUsable(db, error, usable)) {
        return false;
    }
    if (!usable) {
        return true;
    }
    query.prepare(QLatin1String(detailsRow));
    query.addBindValue(id);
    if (!query.exec()) {
        return succeeded(query, error);
    }
    if (query.next()) {
        info.hasDetails = true;
        info.version = query.value(0).toString();
        info.summary = query.value(1).toString().section(QLatin1Char('\n'), 0, 0);
        info.section = query.value(2).toString();
    }
    return succeeded(query, error);
}

// A table the builder wrote: no view, no virtual table, no generated column, whose
// expressions could make reading one row take any time or memory.
bool PackageInfo::detailsTableUsable(sqlite3 *db, CatalogueError *error, bool &usable)
{
    CatalogueQuery query(db);
    if (!query.exec(QLatin1String(detailsSchema))) {
        return succeeded(query, error);
    }
    usable = query.next() && query.value(0).toString() == QLatin1String("table")
             && !query.value(1).toString().trimmed().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
    if (!usable || !query.exec(QLatin1String(detailsColumns))) {
        return succeeded(query, error);
    }
    while (query.next()) {
        const int hidden = query.value(QStringLiteral("hidden")).toInt();
        usable = usable && hidden != 2 && hidden != 3;
    }
    return true;
}
