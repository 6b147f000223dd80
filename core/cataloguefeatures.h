#ifndef CATALOGUEFEATURES_H
#define CATALOGUEFEATURES_H

#include "catalogueerror.h"

#include <QString>

struct sqlite3;

// What a catalogue offers beyond its package table. Catalogues made from package indexes
// alone have no file lists; catalogues of an earlier format keep them in a layout the
// finder no longer reads.
struct CatalogueFeatures
{
    // The file tables of the current format (PRAGMA user_version = QV_FORMAT_VERSION):
    // name blocks, directory blocks, each package's files and the name trigrams.
    bool fileLists = false;
    // File lists of another format: the one-row-per-link tables of format 1, or a format
    // version this finder does not know. Package names are still searched.
    bool olderKind = false;
    CatalogueError error; // why the schema could not be read (busy, not a database, ...)
    // Why the catalogue is not searched at all, for the user; empty when it may be. A
    // package or file table that is a view or virtual table, or has a generated column,
    // is no catalogue quorvi-catalog wrote and could run any query (an endless one) or
    // compute any amount of data per row.
    QString refusal;

    // Reads the catalogue's schema through an open connection.
    static CatalogueFeatures read(sqlite3 *db);
};

#endif // CATALOGUEFEATURES_H
