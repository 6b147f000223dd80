#include "cataloguefeatures.h"

#include <QSet>
#include <QSqlError>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

CatalogueFeatures CatalogueFeatures::read(const QSqlDatabase &db)
{
    QSqlQuery query(db);
    QSet<QString> tables;
    if (query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
        while (query.next())
            tables.insert(query.value(0).toString());
    }
    CatalogueFeatures features;
    features.error = query.lastError();
    features.fileLists = tables.contains(QStringLiteral("qv_file_name_t"))
                         && tables.contains(QStringLiteral("qv_file_dir_t"))
                         && tables.contains(QStringLiteral("qv_pkg_file_t"));
    features.nameTrigrams = features.fileLists && tables.contains(QStringLiteral("qv_file_name_fts"));
    features.dirTrigrams = features.fileLists && tables.contains(QStringLiteral("qv_file_dir_fts"));
    return features;
}
