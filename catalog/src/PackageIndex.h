#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The packages of the catalogue, with ids 1..N in the order first seen.
// A (name, ver, rel, arch) tuple listed by several sources is kept once.
class PackageIndex
{
public:
    struct Row
    {
        std::string name;
        std::string ver;
        std::string rel;
        std::string arch;
    };

    // Returns the id of the tuple, adding it when it is new.
    uint32_t add(std::string_view name, std::string_view ver, std::string_view rel,
                 std::string_view arch);

    // 0 if the tuple is not in the catalogue.
    uint32_t find(std::string_view name, std::string_view ver, std::string_view rel,
                  std::string_view arch) const;

    // Ids of every package called `name` (all versions and architectures).
    const std::vector<uint32_t> *idsNamed(std::string_view name) const;

    const Row &row(uint32_t id) const { return m_rows[id - 1]; }
    size_t size() const { return m_rows.size(); }

private:
    static std::string key(std::string_view name, std::string_view ver, std::string_view rel,
                           std::string_view arch);

    std::deque<Row> m_rows; // a deque keeps the names that m_byName points to in place
    std::unordered_map<std::string, uint32_t> m_byKey;
    std::unordered_map<std::string_view, std::vector<uint32_t>> m_byName;
};
