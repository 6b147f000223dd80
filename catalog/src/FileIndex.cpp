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
    if (slash == std::string_view::npos) {
        ids.dir = m_dirs.intern(std::string_view());
        ids.name = m_names.intern(path);
    } else {
        ids.dir = m_dirs.intern(path.substr(0, slash));
        ids.name = m_names.intern(path.substr(slash + 1));
    }
    return true;
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
