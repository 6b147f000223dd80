#include "catalogueconnection.h"

#include "cataloguequery.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QVariant>

#include <sqlite3.h>
#include <sys/stat.h>

namespace {

// How Qt's SQLite driver reads its options.
struct OpenOptions
{
    bool readOnly = false;
    bool uri = false;
    int busyMs = 5000;
};

OpenOptions parseOptions(const QString &options)
{
    OpenOptions parsed;
    for (QString option : options.split(QLatin1Char(';'))) {
        option = option.trimmed();
        if (option.startsWith(QLatin1String("QSQLITE_BUSY_TIMEOUT"))) {
            option = option.mid(20).trimmed();
            bool ok = false;
            const int ms = option.startsWith(QLatin1Char('=')) ? option.mid(1).trimmed().toInt(&ok) : 0;
            if (ok) {
                parsed.busyMs = ms;
            }
        } else if (option == QLatin1String("QSQLITE_OPEN_READONLY")) {
            parsed.readOnly = true;
        } else if (option == QLatin1String("QSQLITE_OPEN_URI")) {
            parsed.uri = true;
        }
    }
    return parsed;
}

} // namespace

CatalogueConnection::CatalogueConnection() = default;

CatalogueConnection::~CatalogueConnection()
{
    close();
}

CatalogueConnection::Identity CatalogueConnection::identify(const QString &path)
{
    Identity id;
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return id;
    }
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
    if (db && path == openPath && databaseName == openName && options == openOptions && now == identity
        && now.size >= 0) {
        return true;
    }
    close();
    const OpenOptions parsed = parseOptions(options);
    busyMs = parsed.busyMs;
    const int flags = (parsed.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
                      | SQLITE_OPEN_PRIVATECACHE | (parsed.uri ? SQLITE_OPEN_URI : 0) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(databaseName.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        openError = CatalogueError::fromSqlite(
            db, QCoreApplication::translate("QSQLiteDriver", "Error opening database"), rc);
        close();
        return false;
    }
    sqlite3_busy_timeout(db, busyMs);
    sqlite3_extended_result_codes(db, 1);
    openError = CatalogueError();
    openPath = path;
    openName = databaseName;
    openOptions = options;
    identity = now;
    return true;
}

void CatalogueConnection::close()
{
    featuresKnown = false;
    if (!db) {
        return;
    }
    sqlite3_close_v2(db);
    db = nullptr;
}

// The schema version is one read of the file's header; the schema itself (and the checks
// of its tables) only when that changed, or when reading it failed last time.
CatalogueFeatures CatalogueConnection::features()
{
    CatalogueQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA schema_version")) || !query.next()) {
        CatalogueFeatures failed;
        failed.error = query.lastError().isValid() ? query.lastError()
                                                   : CatalogueError(QString(), QStringLiteral("no schema version"));
        return failed;
    }
    const int version = query.value(0).toInt();
    query.finish();
    if (featuresKnown && version == featuresVersion) {
        return knownFeatures;
    }
    knownFeatures = CatalogueFeatures::read(db);
    featuresKnown = !knownFeatures.error.isValid();
    featuresVersion = version;
    return knownFeatures;
}
