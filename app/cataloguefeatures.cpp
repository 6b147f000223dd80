#include "cataloguefeatures.h"

#include <QCoreApplication>
#include <QHash>
#include <QSqlError>
#include <QSqlDatabase>
#include <QSqlQuery>
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

bool isVirtual(const SchemaEntry &entry)
{
    return entry.sql.trimmed().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
}

// A trigram index is an fts5 virtual table; anything else of that name is not used.
bool isFts5(const SchemaEntry &entry)
{
    return entry.type == QLatin1String("table") && isVirtual(entry)
           && entry.sql.contains(QLatin1String("fts5"), Qt::CaseInsensitive);
}

// table_xinfo marks generated columns hidden 2 (virtual) or 3 (stored): their values are
// computed by an expression of the file's author, as large or as slow as that makes them.
QString generatedColumnIn(const QSqlDatabase &db, const QString &table)
{
    QSqlQuery columns(db);
    if (!columns.exec(QStringLiteral("PRAGMA table_xinfo(%1)").arg(table)))
        return QString();
    while (columns.next()) {
        const int hidden = columns.value(QStringLiteral("hidden")).toInt();
        if (hidden == 2 || hidden == 3)
            return tr("%1 的列 %2 是生成列，这不是 quorvi-catalog 生成的软件包目录，查找器不读取它。")
                .arg(table, columns.value(QStringLiteral("name")).toString());
    }
    return QString();
}

} // namespace

// Names in SQLite are case-insensitive, so the schema is keyed by lower-case name.
CatalogueFeatures CatalogueFeatures::read(const QSqlDatabase &db)
{
    QSqlQuery query(db);
    QHash<QString, SchemaEntry> schema;
    if (query.exec(QStringLiteral("SELECT type, name, sql FROM sqlite_master WHERE type IN ('table', 'view', 'index')"))) {
        while (query.next())
            schema.insert(query.value(1).toString().toLower(), {query.value(0).toString(), query.value(2).toString()});
    }
    CatalogueFeatures features;
    features.error = query.lastError();
    if (features.error.isValid())
        return features;
    const char *plainTables[] = {QV_PKG_TABLE, QV_NAME_TABLE, QV_DIR_TABLE, QV_LINK_TABLE, QV_SUFFIX_TABLE, QV_PKG_SUFFIX_TABLE};
    for (const char *table : plainTables) {
        const auto entry = schema.constFind(QLatin1String(table));
        if (entry == schema.constEnd())
            continue;
        if (entry->type != QLatin1String("table") || isVirtual(*entry)) {
            features.refusal = tr("%1 不是普通的表（而是视图或虚拟表），这不是 quorvi-catalog 生成的软件包目录，"
                                  "查找器不读取它。").arg(QLatin1String(table));
            return features;
        }
        features.refusal = generatedColumnIn(db, QLatin1String(table));
        if (!features.refusal.isEmpty())
            return features;
    }
    features.fileLists = schema.contains(QStringLiteral(QV_NAME_TABLE)) && schema.contains(QStringLiteral(QV_DIR_TABLE))
                         && schema.contains(QStringLiteral(QV_LINK_TABLE));
    features.nameTrigrams = features.fileLists && isFts5(schema.value(QStringLiteral(QV_NAME_FTS)));
    features.dirTrigrams = features.fileLists && isFts5(schema.value(QStringLiteral(QV_DIR_FTS)));
    features.nameSuffixes = features.fileLists && schema.contains(QStringLiteral(QV_SUFFIX_TABLE));
    features.packageFiles = features.fileLists && schema.value(QStringLiteral(QV_LINK_PKG_INDEX)).type == QLatin1String("index");
    features.packageSuffixes = features.packageFiles && schema.contains(QStringLiteral(QV_PKG_SUFFIX_TABLE));
    return features;
}
