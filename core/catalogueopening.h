#ifndef CATALOGUEOPENING_H
#define CATALOGUEOPENING_H

#include <QString>

// How the finder opens a catalogue file read-only without ever writing beside it, decided
// from the file itself before SQLite sees it:
// - not a regular file (a FIFO, device or socket, after following links): not opened at
//   all, since opening a FIFO blocks until someone writes to it;
// - a write-ahead-log catalogue (header bytes 18/19 = 2) without a non-empty "-wal" file:
//   opened with the immutable URI parameter, so SQLite reads the file as it is and
//   creates no "-shm" or "-wal" file; a catalogue is replaced by rename, never changed in
//   place, and the next search decides again for the file then in place;
// - write-ahead log with a non-empty "-wal" file, whose changes SQLite can only read
//   through a "-shm" index it would create: not opened;
// - a hot journal (a non-empty "-journal" file and no writer holding the catalogue's
//   RESERVED lock), which SQLite would roll back into the catalogue: not opened;
// - anything else (a journal whose writer is still at work included): opened normally, so
//   a writer's lock is waited for and then reported busy.
// Directories and missing files are left to SQLite, which reports them.
struct CatalogueOpening
{
    QString databaseName; // the path, or a "file:" URI with immutable=1
    bool uri = false;     // databaseName is a URI
    QString problem;      // why the file is not opened (a sentence for the user); or empty

    static CatalogueOpening inspect(const QString &path);
    // The connection options: `base` plus what the name needs.
    QString connectOptions(const QString &base) const;
};

#endif // CATALOGUEOPENING_H
