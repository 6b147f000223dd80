#ifndef CATALOGUEFEATURES_H
#define CATALOGUEFEATURES_H

#include <QSqlError>
#include <QString>

class QSqlDatabase;

// What a catalogue offers beyond its package table. Catalogues made from package
// indexes alone have no file lists; older ones have file lists without trigram indexes.
struct CatalogueFeatures
{
    bool fileLists = false;    // qv_file_name_t, qv_file_dir_t and qv_pkg_file_t
    bool nameTrigrams = false; // qv_file_name_fts over the distinct file names
    bool dirTrigrams = false;  // qv_file_dir_fts over the distinct directories
    bool nameSuffixes = false; // qv_file_suffix_t, the names' reversed last characters
    bool packageFiles = false; // qv_pkg_file_pkg_idx, each package's files
    bool packageSuffixes = false; // qv_pkg_suffix_t, the packages of each short name suffix
    QSqlError error;           // why the schema could not be read (busy, not a database, ...)
    // Why the catalogue is not searched at all, for the user; empty when it may be. A
    // package or file table that is a view or virtual table, or has a generated column,
    // is no catalogue quorvi-catalog wrote and could run any query (an endless one) or
    // compute any amount of data per row.
    QString refusal;

    // Reads the catalogue's schema through an open connection.
    static CatalogueFeatures read(const QSqlDatabase &db);

};

#endif // CATALOGUEFEATURES_H
