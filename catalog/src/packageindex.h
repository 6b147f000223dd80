#pragma once

#include "versionorder.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The packages of the catalogue, with ids 1..N in the order first seen.
// A (name, ver, rel, arch) tuple listed by several sources is kept once.
// With newestOnly, a (name, arch) is kept once: its row shows the newest
// version any source listed, by that version scheme's own ordering (Debian
// and RPM packages of one name and arch stay apart).
class PackageIndex
{
public:
    struct Row
    {
        std::string name;
        std::string ver;
        std::string rel;
        std::string arch;
        std::string fullVersion; // what the version ordering compares
        VersionScheme scheme = VersionScheme::Debian;
        std::string summary; // the description's first line, of the version kept
        std::string section; // section (Debian) or group (RPM)
    };

    explicit PackageIndex(bool newestOnly = false) : m_newestOnly(newestOnly) {}

    // Returns the id of the tuple, adding it when it is new. `fullVersion`
    // is the version as the package manager writes it (with its epoch);
    // empty means "ver-rel". The summary and section go with the version: a
    // newer one replaces them, and a tuple listed again fills in what it lacked.
    uint32_t add(std::string_view name, std::string_view ver, std::string_view rel,
                 std::string_view arch, VersionScheme scheme = VersionScheme::Debian,
                 std::string_view fullVersion = {}, std::string_view summary = {},
                 std::string_view section = {});

    // 0 if the tuple is not in the catalogue.
    uint32_t find(std::string_view name, std::string_view ver, std::string_view rel,
                  std::string_view arch) const;

    // Ids of every package called `name` (all versions and architectures).
    const std::vector<uint32_t> *idsNamed(std::string_view name) const;

    const Row &row(uint32_t id) const { return m_rows[id - 1]; }
    size_t size() const { return m_count; }

    // Frees the rows and lookups once the package tables are written (the file lists
    // need only the ids); size() stays, row() and the lookups are empty.
    void releaseRows();

private:
    static std::string key(std::string_view name, std::string_view ver, std::string_view rel,
                           std::string_view arch);
    uint32_t addRow(Row row);
    void fillIn(uint32_t id, const Row &row);
    void replaceIfNewer(uint32_t id, Row &row);

    bool m_newestOnly;
    size_t m_count = 0;
    std::deque<Row> m_rows; // a deque keeps the names that m_byName points to in place
    std::unordered_map<std::string, uint32_t> m_byKey;
    std::unordered_map<std::string, uint32_t> m_byNameArch; // newestOnly: (name, arch, scheme)
    std::unordered_map<std::string_view, std::vector<uint32_t>> m_byName;
};
