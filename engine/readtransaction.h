#ifndef READTRANSACTION_H
#define READTRANSACTION_H

#include <sqlite3.h>

// Holds one read transaction for as long as it lives, unless the connection is in one
// already. A search reads thousands of small rows; outside a transaction SQLite takes and
// drops its shared lock on the file for each statement (two fcntl calls and a look for a
// hot journal every time), which costs more than the reads themselves.
class ReadTransaction
{
public:
    explicit ReadTransaction(sqlite3 *db)
        : db(db && sqlite3_get_autocommit(db) && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK ? db
                                                                                                               : nullptr)
    {
    }
    ~ReadTransaction()
    {
        // It only read: ending it either way releases the lock. An interrupt may have
        // ended it already, which makes this a harmless error.
        if (db && !sqlite3_get_autocommit(db)) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    ReadTransaction(const ReadTransaction &) = delete;
    ReadTransaction &operator=(const ReadTransaction &) = delete;

private:
    sqlite3 *const db;
};

#endif // READTRANSACTION_H
