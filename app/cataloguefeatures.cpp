#include "cataloguefeatures.h"

#include <QSet>
#include <QSqlError>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <catalogueschema.h>

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
    features.fileLists = tables.contains(QStringLiteral(QV_NAME_TABLE))
                         && tables.contains(QStringLiteral(QV_DIR_TABLE))
                         && tables.contains(QStringLiteral(QV_LINK_TABLE));
    features.nameTrigrams = features.fileLists && tables.contains(QStringLiteral(QV_NAME_FTS));
    features.dirTrigrams = features.fileLists && tables.contains(QStringLiteral(QV_DIR_FTS));
    return features;
}
