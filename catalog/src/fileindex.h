#pragma once

#include "stringinterner.h"
#include "linkstore.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The file lists of the catalogue: distinct base names and directories get ids as
// they are read, and each (package, directory, name) link is kept. Directories are
// interned without their leading "/" ("usr/bin"; the root is ""); dirPath() gives
// the stored form "/usr/bin".
//
// finish() gives the names and the directories their catalogue ids, their places
// in CatalogueBlobs::foldedLess order, and renumbers the links to them; after it,
// nameAt() and dirPathAt() read by catalogue id and no more paths can be interned.
class FileIndex
{
public:
    struct PathIds
    {
        uint32_t dir = 0;
        uint32_t name = 0;
    };
    using Link = LinkStore::Link;

    // Interns a path ("usr/bin/gcc" or "/usr/bin/gcc"); false for an empty one.
    bool intern(std::string_view path, PathIds &ids);
    void link(uint32_t pkg, PathIds ids) { m_links.add({pkg, ids.dir, ids.name}); }

    // Once every path is in: frees the lookups and the links' buffer, before the package
    // tables are written. finish() does it too.
    void endInput();
    // Once; a second call does nothing.
    void finish();

    // Before finish(): by the ids intern() gave.
    const StringInterner &names() const { return m_names; }
    const StringInterner &dirs() const { return m_dirs; }
    std::string dirPath(uint32_t dirId) const { return storedPath(m_dirs.text(dirId)); }

    // After finish(): by catalogue id.
    size_t nameCount() const { return m_nameOrder.size(); }
    size_t dirCount() const { return m_dirOrder.size(); }
    std::string_view nameAt(uint32_t id) const { return m_names.text(m_nameOrder[id]); }
    std::string dirPathAt(uint32_t id) const { return storedPath(m_dirs.text(m_dirOrder[id])); }
    LinkStore &links() { return m_links; }
    // Frees the directories' texts once they are written.
    void releaseDirectories();

    // Distinct links, once the catalogue has been written.
    uint64_t linkCount() const { return m_links.distinct(); }

private:
    static std::string storedPath(std::string_view dir);

    StringInterner m_names;
    StringInterner m_dirs;
    // Contents indexes are sorted by path, so a path's directory is usually
    // the previous path's one: remembering it saves most directory lookups.
    std::string_view m_lastDir;
    uint32_t m_lastDirId = 0;
    bool m_hasLastDir = false;
    LinkStore m_links;
    std::vector<uint32_t> m_nameOrder; // interned id of each catalogue id
    std::vector<uint32_t> m_dirOrder;
    bool m_finished = false;
};
