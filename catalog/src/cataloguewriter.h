#pragma once

#include <functional>
#include <string>

class FileIndex;
class PackageIndex;

// Writes the catalogue into a fresh SQLite file in one transaction: the package
// table and its name index, each package's details, the format version, and, when
// file lists were given (`files` non-null; finished here when it is not yet), the four tables of the file lists in the layout
// that catalogueschema.h describes. The writer goes through the links in the
// orders it needs, so it reorders them in `files`.
class CatalogueWriter
{
public:
    // Called before each step with its name, its number (from 0) and the
    // number of steps, for progress display.
    using StepFn = std::function<void(const char *step, int index, int count)>;

    // The packages' rows are released once their tables are written (releaseRows()).
    static void write(const std::string &path, PackageIndex &packages, FileIndex *files,
                      const StepFn &onStep = {});
};
