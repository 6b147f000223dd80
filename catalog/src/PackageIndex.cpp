#include "PackageIndex.h"

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
                           std::string_view arch)
{
    const auto [it, isNew] = m_byKey.emplace(key(name, ver, rel, arch), 0);
    if (!isNew)
        return it->second;
    m_rows.push_back({std::string(name), std::string(ver), std::string(rel), std::string(arch)});
    it->second = uint32_t(m_rows.size());
    m_byName[m_rows.back().name].push_back(it->second);
    return it->second;
}

uint32_t PackageIndex::find(std::string_view name, std::string_view ver, std::string_view rel,
                            std::string_view arch) const
{
    const auto it = m_byKey.find(key(name, ver, rel, arch));
    return it == m_byKey.end() ? 0 : it->second;
}

const std::vector<uint32_t> *PackageIndex::idsNamed(std::string_view name) const
{
    const auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : &it->second;
}
