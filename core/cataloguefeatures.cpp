#include "cataloguefeatures.h"
#include "cataloguequery.h"

#include <QCoreApplication>
#include <QHash>
#include <QVariant>

#include <catalogueschema.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CatalogueFeatures", text);
}

struct SchemaEntry
{
    QString type; // "table" or "view"
    QString sql;
};

using Schema = QHash<QString, SchemaEntry>;

// The tables the finder reads: the package list and the file tables of the current format.
const char *const fileTables[] = {QV_NAME_BLOCK_TABLE, QV_DIR_BLOCK_TABLE, QV_PKG_FILES_TABLE, QV_TRIGRAM_TABLE};
const char *const readTables[] = {QV_PKG_TABLE, QV_NAME_BLOCK_TABLE, QV_DIR_BLOCK_TABLE, QV_PKG_FILES_TABLE,
                                  QV_TRIGRAM_TABLE};

bool isVirtual(const SchemaEntry &entry)
{
    return entry.sql.trimmed().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
}

// table_xinfo marks generated columns hidden 2 (virtual) or 3 (stored): their values are
// computed by an expression of the file's author, as large or as slow as that makes them.
QString generatedColumnIn(sqlite3 *db, const QString &table)
{
    CatalogueQuery columns(db);
    if (!columns.exec(QStringLiteral("PRAGMA table_xinfo(%1)").arg(table))) {
        return QString();
    }
    while (columns.next()) {
        const int hidden = columns.value(QStringLiteral("hidden")).toInt();
        if (hidden == 2 || hidden == 3) {
            return tr("%1 的列 %2 是生成列，这不是 quorvi-catalog 生成的软件包目录，查找器不读取它。")
                .arg(table, columns.value(QStringLiteral("name")).toString());
        }
    }
    return QString();
}

// Why one of the tables the finder reads is no plain table, or nothing.
QString refusalOf(sqlite3 *db, const Schema &schema)
{
    for (const char *table : readTables) {
        const auto entry = schema.constFind(QLatin1String(table));
        if (entry == schema.constEnd()) {
            continue;
        }
        if (entry->type != QLatin1String("table") || isVirtual(*entry)) {
            return tr("%1 不是普通的表（而是视图或虚拟表），这不是 quorvi-catalog 生成的软件包目录，"
                      "查找器不读取它。").arg(QLatin1String(table));
        }
        const QString generated = generatedColumnIn(db, QLatin1String(table));
        if (!generated.isEmpty()) {
            return generated;
        }
    }
    return QString();
}

} // namespace

// Names in SQLite are case-insensitive, so the schema is keyed by lower-case name.
CatalogueFeatures CatalogueFeatures::read(sqlite3 *db)
{
    CatalogueFeatures features;
    CatalogueQuery query(db);
    Schema schema;
    if (query.exec(QStringLiteral("SELECT type, name, sql FROM sqlite_master WHERE type IN ('table', 'view')"))) {
        while (query.next())
            schema.insert(query.value(1).toString().toLower(), {query.value(0).toString(), query.value(2).toString()});
    }
    int version = 0;
    if (!query.lastError().isValid() && query.exec(QStringLiteral("PRAGMA user_version")) && query.next()) {
        version = query.value(0).toInt();
    }
    features.error = query.lastError();
    if (features.error.isValid()) {
        return features;
    }
    features.refusal = refusalOf(db, schema);
    if (!features.refusal.isEmpty()) {
        return features;
    }
    bool allFileTables = true;
    for (const char *table : fileTables)
        allFileTables = allFileTables && schema.contains(QLatin1String(table));
    features.fileLists = version == QV_FORMAT_VERSION && allFileTables;
    features.olderKind = !features.fileLists
                         && (schema.contains(QStringLiteral(QV_OLD_LINK_TABLE)) || (version != 0 && version != QV_FORMAT_VERSION));
    return features;
}
