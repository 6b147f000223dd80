#pragma once

#include <string>

class FileIndex;
class PackageIndex;

// Writes the catalogue tables into a fresh SQLite file in one transaction:
// rows first, then indexes and the trigram full-text indexes (building
// indexes after the bulk insert is much faster). The file tables exist only
// when file lists were given (`files` non-null).
class CatalogWriter
{
public:
    static void write(const std::string &path, const PackageIndex &packages,
                      const FileIndex *files);
};
