#include "catalogueerror.h"

#include <sqlite3.h>

CatalogueError::CatalogueError(const QString &what, const QString &message, const QString &code)
    : doing(what)
    , said(message)
    , code(code)
    , valid(true)
{
}

CatalogueError CatalogueError::fromSqlite(sqlite3 *db, const QString &what, int code)
{
    const QString message = db ? QString(reinterpret_cast<const QChar *>(sqlite3_errmsg16(db)))
                               : QString::fromUtf8(sqlite3_errstr(code));
    return CatalogueError(what, message, QString::number(code));
}

QString CatalogueError::text() const
{
    QString result = said;
    if (!said.isEmpty() && !doing.isEmpty()) {
        result += QLatin1Char(' ');
    }
    return result + doing;
}
