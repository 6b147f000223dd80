#ifndef PACKAGEINFO_H
#define PACKAGEINFO_H

#include "catalogueerror.h"

#include <QString>

struct sqlite3;

// One package as the catalogue describes it: its row of the package table and, where
// the catalogue has the details table, the full version, summary and section.
struct PackageInfo
{
    bool found = false;      // the package table has the id
    bool hasDetails = false; // the details table has a row for it
    QString name, ver, rel, arch;
    QString version; // as the package manager writes it; "ver-rel" without details
    QString summary; // one line
    QString section;

    // Reads package `id` through an open connection; a details table that is no plain
    // table (a view, a virtual table, a generated column) is not read. False with
    // *error set when the catalogue cannot be read.
    static bool read(sqlite3 *db, qint64 id, PackageInfo &info, CatalogueError *error);

private:
    static bool detailsTableUsable(sqlite3 *db, CatalogueError *error, bool &usable);
};

#endif // PACKAGEINFO_H
