#ifndef ENGINERUN_H
#define ENGINERUN_H

#include <QString>

#include <cstdint>

// The file-name search engine (engine/filesearch.h) called directly, on a connection of
// its own: the floor under the finder's file-name searches.

struct EngineRun
{
    long long rows = -1; // packages found
    QString plan;        // filePlanName(plan())
    QString statement;   // the statement that read the candidate blocks, as it ran
    QString error;
};

// Opens the catalogue read-only, asks FileSearch::packages() for the keyword and
// firstPath() for its first `paths` rows (what the finder shows before it paints), and
// closes the connection (the finder's search opens one too).
EngineRun runEngine(const QString &dbPath, const QString &keyword, int paths = 64);

// The package that ships the most files (every package's file BLOB decoded).
struct LargestPackage
{
    long long id = -1;
    QString name; // name-ver-rel.arch
    long long files = -1;
};
LargestPackage largestPackage(const QString &dbPath);

// Opens the catalogue, reads every file of one package as full paths (packageFiles), and
// closes it; returns the number of files, or -1.
long long readPackageFiles(const QString &dbPath, uint32_t pkg);

#endif // ENGINERUN_H
