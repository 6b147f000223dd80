#ifndef CATALOGUEQUERY_H
#define CATALOGUEQUERY_H

#include "catalogueerror.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

struct sqlite3;
struct sqlite3_stmt;

// One statement on a catalogue connection, read row by row: prepared from text, its
// parameters bound in order, each row's cells as QVariants (an integer as qlonglong, a
// real as double, text as QString, a BLOB as QByteArray, NULL as a null QString). A
// failure keeps SQLite's message with what was being done, as lastError().
class CatalogueQuery
{
public:
    explicit CatalogueQuery(sqlite3 *db);
    ~CatalogueQuery();
    CatalogueQuery(const CatalogueQuery &) = delete;
    CatalogueQuery &operator=(const CatalogueQuery &) = delete;

    bool prepare(const QString &statement);
    // Binds the next parameter: an integer or a text.
    void addBindValue(const QVariant &value);
    // Runs the prepared statement up to its first row (or its end).
    bool exec();
    // prepare() and exec() in one.
    bool exec(const QString &statement);
    // Moves to the next row: false at the end or on an error (then lastError() says it).
    bool next();
    QVariant value(int column) const;
    QVariant value(const QString &column) const;
    // The result's column names (double quotes dropped), known after exec().
    QStringList columnNames() const { return names; }
    // Ends the statement's reading, so that it holds no lock.
    void finish();
    CatalogueError lastError() const { return error; }

private:
    bool step();
    void fail(const char *what, int code);
    void release();

    sqlite3 *const db;
    sqlite3_stmt *stmt = nullptr;
    QVector<QVariant> bound;
    QStringList names;
    QVector<QVariant> row;
    bool firstPending = false; // exec() read the first row; next() hands it out
    bool firstResult = false;
    CatalogueError error;
};

#endif // CATALOGUEQUERY_H
