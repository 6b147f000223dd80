#ifndef CATALOGUEFIXTURES_H
#define CATALOGUEFIXTURES_H

#include "coretestsupport.h"

#include <QList>

// Catalogues made for a test: by the builder's own writer, or changed statement by
// statement through a Qt SQL connection of their own; and what a file-name search of one
// must find, worked out without the engine's plans.

struct CataloguePackage
{
    QString name, ver, rel, arch;
};

// Runs statements on the SQLite file at path (created when missing) through a
// connection of its own; fails the test on the first statement that fails. For the
// deliberately odd catalogues a test is about (damaged, foreign columns, old layouts).
void execOnCatalogue(const QString &path, const QStringList &statements);
// Writes a catalogue holding the given packages, ids 1..N, through the builder's own
// writer (CatalogueWriter), replacing any file at path. Each package once: the writer
// keeps a (name, ver, rel, arch) tuple once, so a repeated one fails the test.
void writeCatalogue(const QString &path, const QList<CataloguePackage> &packages);
struct CatalogueFile
{
    int packageId;
    QString path; // full path, "/usr/bin/gcc"
};
// Adds the file lists to a catalogue that writeCatalogue wrote (its packages are read
// back): the builder's writer makes the whole catalogue again with them.
void writeFileLists(const QString &path, const QList<CatalogueFile> &files);
// What a file-name search of the catalogue at path must show, worked out without the
// search engine's plans: every package's files (each package's own list), matched with
// SQLite's GLOB against the keyword over ASCII-folded text ("*" and "?" as in the finder,
// a "/" in the keyword matching the full path), one "id|first path" a package in order
// of id. Fails the test when the catalogue cannot be read; an error of the matching
// statement (a pattern SQLite refuses) goes to *error where that is given.
QStringList referenceFileRows(const QString &path, const QString &keyword, QString *error = nullptr);
// The statement a file-name search of the catalogue at path runs for the keyword, as the
// finder's second debug line shows it.
QString engineStatement(const QString &path, const QString &keyword);
#endif // CATALOGUEFIXTURES_H
