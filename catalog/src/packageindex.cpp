#include "packageindex.h"

std::string PackageIndex::key(std::string_view name, std::string_view ver,
                              std::string_view rel, std::string_view arch)
{
    std::string k;
    k.reserve(name.size() + ver.size() + rel.size() + arch.size() + 3);
    k.append(name).append(1, '\0').append(ver).append(1, '\0');
    k.append(rel).append(1, '\0').append(arch);
    return k;
}

uint32_t PackageIndex::add(std::string_view name, std::string_view ver, std::string_view rel,
                           std::string_view arch, VersionScheme scheme,
                           std::string_view fullVersion, std::string_view summary,
                           std::string_view section)
{
    Row row{std::string(name), std::string(ver), std::string(rel), std::string(arch),
            std::string(fullVersion), scheme, std::string(summary), std::string(section)};
    if (row.fullVersion.empty()) {
        row.fullVersion = row.ver + '-' + row.rel;
    }
    if (!m_newestOnly) {
        const uint32_t id = find(name, ver, rel, arch);
        if (id == 0) {
            return addRow(std::move(row));
        }
        fillIn(id, row);
        return id;
    }
    std::string nameArch = key(name, {}, {}, arch);
    nameArch.push_back(scheme == VersionScheme::Rpm ? 'r' : 'd');
    const auto [it, isNew] = m_byNameArch.emplace(std::move(nameArch), 0);
    if (isNew) {
        it->second = addRow(std::move(row));
    } else if (m_rows[it->second - 1].fullVersion == row.fullVersion) {
        fillIn(it->second, row);
    } else {
        replaceIfNewer(it->second, row);
    }
    return it->second;
}

// The same version listed again (by another source: a Packages index and the dpkg status
// file): details the first source lacked come from this one.
void PackageIndex::fillIn(uint32_t id, const Row &row)
{
    Row &kept = m_rows[id - 1];
    if (kept.summary.empty()) {
        kept.summary = row.summary;
    }
    if (kept.section.empty()) {
        kept.section = row.section;
    }
}

uint32_t PackageIndex::addRow(Row row)
{
    m_rows.push_back(std::move(row));
    const Row &added = m_rows.back();
    const uint32_t id = uint32_t(m_rows.size());
    m_count = m_rows.size();
    m_byKey.emplace(key(added.name, added.ver, added.rel, added.arch), id);
    m_byName[added.name].push_back(id);
    return id;
}

// The row keeps its id (and so its place); only its version changes.
void PackageIndex::replaceIfNewer(uint32_t id, Row &row)
{
    Row &kept = m_rows[id - 1];
    if (VersionOrder::compare(row.scheme, row.fullVersion, kept.fullVersion) <= 0) {
        return;
    }
    m_byKey.erase(key(kept.name, kept.ver, kept.rel, kept.arch));
    kept.ver = std::move(row.ver);
    kept.rel = std::move(row.rel);
    kept.fullVersion = std::move(row.fullVersion);
    kept.summary = std::move(row.summary);
    kept.section = std::move(row.section);
    m_byKey.emplace(key(kept.name, kept.ver, kept.rel, kept.arch), id);
}

uint32_t PackageIndex::find(std::string_view name, std::string_view ver, std::string_view rel,
                            std::string_view arch) const
{
    const auto it = m_byKey.find(key(name, ver, rel, arch));
    return it == m_byKey.end() ? 0 : it->second;
}

void PackageIndex::releaseRows()
{
    std::unordered_map<std::string_view, std::vector<uint32_t>>().swap(m_byName);
    std::unordered_map<std::string, uint32_t>().swap(m_byKey);
    std::unordered_map<std::string, uint32_t>().swap(m_byNameArch);
    std::deque<Row>().swap(m_rows);
}

const std::vector<uint32_t> *PackageIndex::idsNamed(std::string_view name) const
{
    const auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : &it->second;
}
