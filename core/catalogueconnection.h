#ifndef CATALOGUECONNECTION_H
#define CATALOGUECONNECTION_H

#include "catalogueerror.h"
#include "cataloguefeatures.h"

#include <QString>

#include <sys/types.h>

struct sqlite3;

// The search thread's one connection to the catalogue, kept from search to search: opening
// a connection and reading the schema cost more than a small search itself. It is opened
// again when the search names another file or other options, or when the file at the path
// is no longer the one it opened (another device, inode, size or modification time: a
// catalogue is replaced by rename). Used only by the thread that made it. The options are
// those of Qt's SQLite driver ("QSQLITE_OPEN_READONLY", "QSQLITE_OPEN_URI",
// "QSQLITE_BUSY_TIMEOUT=ms"), so that it opens a file exactly as the window's connection does.
class CatalogueConnection
{
public:
    CatalogueConnection();
    ~CatalogueConnection();
    CatalogueConnection(const CatalogueConnection &) = delete;
    CatalogueConnection &operator=(const CatalogueConnection &) = delete;

    // path: the catalogue file; databaseName and options: how SQLite opens it (a "file:"
    // URI with immutable=1 for a write-ahead-log catalogue). False with error() set when
    // it cannot be opened.
    bool open(const QString &path, const QString &databaseName, const QString &options);
    void close();
    CatalogueError error() const { return openError; }

    bool isOpen() const { return db != nullptr; }
    sqlite3 *handle() const { return db; }
    // The busy timeout that the options ask for, in milliseconds.
    int busyTimeout() const { return busyMs; }
    // The schema's features, read again whenever the schema version changes.
    CatalogueFeatures features();

private:
    struct Identity
    {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        qint64 mtimeNs = -1;
        bool operator==(const Identity &o) const
        {
            return device == o.device && inode == o.inode && size == o.size && mtimeNs == o.mtimeNs;
        }
    };
    static Identity identify(const QString &path);

    sqlite3 *db = nullptr;
    CatalogueError openError;
    QString openPath, openName, openOptions;
    Identity identity;
    int busyMs = 5000;
    bool featuresKnown = false;
    int featuresVersion = 0;
    CatalogueFeatures knownFeatures;
};

#endif // CATALOGUECONNECTION_H
