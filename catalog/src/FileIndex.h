#pragma once

#include "StringInterner.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

// The file lists of the catalogue: distinct base names and directories get
// ids, and each (package, directory, name) link is kept once.
// Directories are interned without their leading "/" ("usr/bin"; the root
// is ""); dirPath() gives the stored form "/usr/bin".
class FileIndex
{
public:
    struct PathIds
    {
        uint32_t dir = 0;
        uint32_t name = 0;
    };

    struct Link
    {
        uint32_t pkg;
        uint32_t dir;
        uint32_t name;
        // The catalogue keeps links in this order, its primary key: by name first.
        bool operator<(const Link &o) const
        {
            return name != o.name ? name < o.name : dir != o.dir ? dir < o.dir : pkg < o.pkg;
        }
        bool operator==(const Link &o) const
        {
            return pkg == o.pkg && dir == o.dir && name == o.name;
        }
    };

    // Called once for each new base name or directory (as interned: no
    // leading "/"), with its id; the text stays valid as long as the index.
    using NewTextFn = std::function<void(bool isDir, uint32_t id, std::string_view text)>;
    void setListener(NewTextFn listener) { m_listener = std::move(listener); }

    // Interns a path ("usr/bin/gcc" or "/usr/bin/gcc"); false for an empty one.
    bool intern(std::string_view path, PathIds &ids);
    void link(uint32_t pkg, PathIds ids) { m_links.push_back({pkg, ids.dir, ids.name}); }

    // Sorts the links by name, directory and package and drops duplicates;
    // call before reading links().
    void finish();

    const std::vector<Link> &links() const { return m_links; }
    const StringInterner &names() const { return m_names; }
    const StringInterner &dirs() const { return m_dirs; }
    std::string dirPath(uint32_t dirId) const;

private:
    uint32_t internInto(StringInterner &interner, bool isDir, std::string_view text);

    StringInterner m_names;
    StringInterner m_dirs;
    // Contents indexes are sorted by path, so a path's directory is usually
    // the previous path's one: remembering it saves most directory lookups.
    std::string_view m_lastDir;
    uint32_t m_lastDirId = 0;
    std::vector<Link> m_links;
    NewTextFn m_listener;
};
