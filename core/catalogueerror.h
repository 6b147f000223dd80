#ifndef CATALOGUEERROR_H
#define CATALOGUEERROR_H

#include <QString>

struct sqlite3;

// Why reading a catalogue failed, in the words the finder has always shown: SQLite's own
// message, then what the reader was doing ("Unable to execute statement", "Unable to
// fetch row", "Error opening database"), and SQLite's result code as text.
class CatalogueError
{
public:
    CatalogueError() = default;
    // what: what the reader was doing; message: SQLite's (or the reader's) message;
    // code: SQLite's result code, or empty.
    CatalogueError(const QString &what, const QString &message, const QString &code = QString());
    // The connection's last message with the reader's doing and SQLite's result code.
    static CatalogueError fromSqlite(sqlite3 *db, const QString &what, int code);

    bool isValid() const { return valid; }
    // The message and the doing, one blank between them where both are there.
    QString text() const;
    QString what() const { return doing; }
    QString message() const { return said; }
    QString nativeErrorCode() const { return code; }

private:
    QString doing;
    QString said;
    QString code;
    bool valid = false;
};

#endif // CATALOGUEERROR_H
