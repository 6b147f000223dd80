#ifndef SHELLCATALOGUE_H
#define SHELLCATALOGUE_H

// The catalogue as the shell's programs read it, through the search core: found where the
// finder looks (CatalogueLocator), opened read-only and its format checked as the window
// does (CatalogueOpening, CatalogueConnection, CatalogueFeatures), packages read with
// PackageInfo, package names searched with PackageSearch; in the standard library's types,
// UTF-8, for programs that print bytes.

#include <catalogueconnection.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

struct PackageRow
{
    uint32_t id = 0;
    std::string name;
    std::string ver;
    std::string rel;
    std::string arch;
    std::string version; // the full version, epoch included ("ver-rel" without details)
    std::string summary;
    std::string section;
    // name-ver-rel.arch, as the finder's table shows a package.
    std::string shownName() const { return name + '-' + ver + '-' + rel + '.' + arch; }
};

// Why a catalogue cannot be read (missing, not a catalogue, another format, damaged), in
// the window's words.
class CatalogueUnreadable : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class ShellCatalogue
{
public:
    // The catalogue the finder would open, or "" when there is none; every place it looks.
    static std::string locate();
    static std::vector<std::string> places();
    // The command that makes the catalogue at that path.
    static std::string rebuildCommand(const std::string &path);

    // Opens and checks the file; throws CatalogueUnreadable.
    explicit ShellCatalogue(const std::string &path);

    sqlite3 *handle() const { return connection.handle(); }

    // The package of an id the engine returned. Throws CatalogueUnreadable.
    PackageRow package(uint32_t id) const;
    // The packages of a name, and of that architecture when arch is not empty, by id.
    std::vector<PackageRow> packagesNamed(const std::string &name, const std::string &arch = {}) const;
    // The finder's package-name search, its rows in the window's order.
    std::vector<PackageRow> searchNames(const std::string &keyword) const;

private:
    std::vector<PackageRow> packagesOf(const std::vector<uint32_t> &ids) const;

    CatalogueConnection connection;
};

#endif // SHELLCATALOGUE_H
