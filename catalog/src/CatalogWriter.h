#pragma once

#include <functional>
#include <string>

class FileIndex;
class FtsSideBuilder;
class PackageIndex;

// Writes the catalogue tables into a fresh SQLite file in one transaction:
// rows first, then indexes and the trigram full-text indexes (building
// indexes after the bulk insert is much faster). The file tables exist only
// when file lists were given (`files` non-null); their trigram indexes come
// ready-made from `fts`, which must have been fed every name and directory.
class CatalogWriter
{
public:
    // Called before each step with its name, its number (from 0) and the
    // number of steps, for progress display.
    using StepFn = std::function<void(const char *step, int index, int count)>;

    static void write(const std::string &path, const PackageIndex &packages,
                      const FileIndex *files, FtsSideBuilder *fts,
                      const StepFn &onStep = {});
};
