#include "FileIndex.h"

#include <algorithm>
#include <string>

bool FileIndex::intern(std::string_view path, PathIds &ids)
{
    while (!path.empty() && path.front() == '/')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    if (path.empty())
        return false;
    const size_t slash = path.rfind('/');
    const std::string_view dir = slash == std::string_view::npos ? std::string_view()
                                                                 : path.substr(0, slash);
    if (m_lastDirId == 0 || dir != m_lastDir) {
        m_lastDirId = internInto(m_dirs, true, dir);
        m_lastDir = m_dirs.text(m_lastDirId); // the interner's copy stays valid
    }
    ids.dir = m_lastDirId;
    ids.name = internInto(m_names, false,
                          slash == std::string_view::npos ? path : path.substr(slash + 1));
    return true;
}

uint32_t FileIndex::internInto(StringInterner &interner, bool isDir, std::string_view text)
{
    const size_t before = interner.size();
    const uint32_t id = interner.intern(text);
    if (m_listener && interner.size() != before)
        m_listener(isDir, id, interner.text(id));
    return id;
}

void FileIndex::finish()
{
    std::sort(m_links.begin(), m_links.end());
    m_links.erase(std::unique(m_links.begin(), m_links.end()), m_links.end());
    m_links.shrink_to_fit();
}

std::string FileIndex::dirPath(uint32_t dirId) const
{
    const std::string_view dir = m_dirs.text(dirId);
    if (dir.empty())
        return std::string();
    std::string path;
    path.reserve(dir.size() + 1);
    path += '/';
    path += dir;
    return path;
}
