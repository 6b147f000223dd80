#ifndef SHELLCATALOGUE_H
#define SHELLCATALOGUE_H

// The catalogue as the shell's programs read it: found where the finder looks (the working
// folder, the user's, the system's), opened read-only with SQLite's C API, its format
// checked before any search, and the package rows the engine's ids stand for. No Qt.

#include <cstdint>
#include <optional>
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
    // name-ver-rel.arch, as the finder's table shows a package.
    std::string shownName() const { return name + '-' + ver + '-' + rel + '.' + arch; }
};

struct PackageDetails
{
    PackageRow row;
    bool hasDetails = false; // the catalogue has a details row for the package
    std::string version;     // the full version, epoch included
    std::string summary;
    std::string section;
};

// Why a catalogue cannot be read: missing, not a catalogue, another format, damaged.
class CatalogueError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class ShellCatalogue
{
public:
    // The catalogue the finder would open: the first of ./os_pkg_list.db, the user's and
    // the system's that exists; "" when there is none.
    static std::string locate();
    // Every place locate() looks, in its order.
    static std::vector<std::string> places();

    // Opens and checks the file; throws CatalogueError.
    explicit ShellCatalogue(const std::string &path);
    ~ShellCatalogue();
    ShellCatalogue(const ShellCatalogue &) = delete;
    ShellCatalogue &operator=(const ShellCatalogue &) = delete;

    sqlite3 *handle() const { return db; }
    const std::string &path() const { return file; }

    // The package of an id the engine returned. Throws CatalogueError.
    PackageRow package(uint32_t id) const;
    // The packages of a name, and of that architecture when arch is not empty, by id.
    std::vector<PackageRow> packagesNamed(const std::string &name, const std::string &arch = {}) const;
    // The finder's package-name search: a leading and/or trailing "*" asks for a suffix,
    // prefix or substring, "%" and "_" are LIKE's own wildcards; rows in the catalogue's order.
    std::vector<PackageRow> searchNames(const std::string &keyword) const;
    PackageDetails details(const PackageRow &row) const;

private:
    void checkFormat() const;
    std::vector<PackageRow> rows(const std::string &sql, const std::vector<std::string> &texts) const;

    std::string file;
    sqlite3 *db = nullptr;
};

#endif // SHELLCATALOGUE_H
