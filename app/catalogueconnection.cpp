#include "catalogueconnection.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#include <sys/stat.h>

CatalogueConnection::CatalogueConnection(const QString &connectionName)
    : name(connectionName)
{
}

CatalogueConnection::~CatalogueConnection()
{
    close();
}

CatalogueConnection::Identity CatalogueConnection::identify(const QString &path)
{
    Identity id;
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return id;
    id.device = info.st_dev;
    id.inode = info.st_ino;
    id.size = info.st_size;
    id.mtimeNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return id;
}

bool CatalogueConnection::open(const QString &path, const QString &databaseName, const QString &options)
{
    const Identity now = identify(path);
    // A file that cannot be looked at (missing, say) is opened anew each time, so that
    // SQLite reports it.
    if (db.isOpen() && path == openPath && databaseName == openName && options == openOptions && now == identity
        && now.size >= 0)
        return true;
    close();
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(databaseName);
    db.setConnectOptions(options);
    const QRegularExpressionMatch busy = QRegularExpression(QStringLiteral("QSQLITE_BUSY_TIMEOUT=(\\d+)")).match(options);
    busyMs = busy.hasMatch() ? busy.captured(1).toInt() : 5000;
    if (!db.open()) {
        openError = db.lastError();
        close();
        return false;
    }
    openError = QSqlError();
    openPath = path;
    openName = databaseName;
    openOptions = options;
    identity = now;
    return true;
}

void CatalogueConnection::close()
{
    featuresKnown = false;
    if (!db.isValid())
        return;
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

sqlite3 *CatalogueConnection::handle() const
{
    // The QSQLITE driver hands out its sqlite3 handle as a QVariant holding "sqlite3*".
    if (!db.isOpen())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

// The schema version is one read of the file's header; the schema itself (and the checks
// of its tables) only when that changed, or when reading it failed last time.
CatalogueFeatures CatalogueConnection::features()
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA schema_version")) || !query.next()) {
        CatalogueFeatures failed;
        failed.error = query.lastError().isValid() ? query.lastError()
                                                   : QSqlError(QString(), QStringLiteral("no schema version"),
                                                               QSqlError::StatementError);
        return failed;
    }
    const int version = query.value(0).toInt();
    query.finish();
    if (featuresKnown && version == featuresVersion)
        return knownFeatures;
    knownFeatures = CatalogueFeatures::read(db);
    featuresKnown = !knownFeatures.error.isValid();
    featuresVersion = version;
    return knownFeatures;
}
