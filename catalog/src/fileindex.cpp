#include "fileindex.h"

#include <catalogueblobs.h>

#include <algorithm>

namespace {
// The ids of `texts` in CatalogueBlobs::foldedLess order. The first eight folded bytes,
// zero-padded and read as two big-endian numbers, order most pairs without looking at
// the texts again (a shorter text is below every longer one it begins); only equal
// prefixes need the full comparison. Twelve bytes a key: 45 MB for 3.7 million names.
std::vector<uint32_t> catalogueOrder(const StringInterner &texts)
{
    struct Key
    {
        uint32_t high;
        uint32_t low;
        uint32_t id;
    };
    std::vector<Key> keys(texts.size());
    for (uint32_t id = 0; id < keys.size(); ++id) {
        const std::string_view text = texts.text(id);
        uint64_t prefix = 0;
        for (size_t i = 0; i < 8; ++i) {
            const auto byte = i < text.size() ? static_cast<unsigned char>(CatalogueBlobs::foldAscii(text[i])) : 0;
            prefix = prefix << 8 | byte;
        }
        keys[id] = {uint32_t(prefix >> 32), uint32_t(prefix), id};
    }
    std::sort(keys.begin(), keys.end(), [&texts](const Key &a, const Key &b) {
        if (a.high != b.high) {
            return a.high < b.high;
        }
        if (a.low != b.low) {
            return a.low < b.low;
        }
        return CatalogueBlobs::foldedLess(texts.text(a.id), texts.text(b.id));
    });
    std::vector<uint32_t> order(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        order[i] = keys[i].id;
    return order;
}

// The inverse of an order: the catalogue id of each interned id.
std::vector<uint32_t> idsOf(const std::vector<uint32_t> &order)
{
    std::vector<uint32_t> ids(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        ids[order[i]] = uint32_t(i);
    return ids;
}
} // namespace

bool FileIndex::intern(std::string_view path, PathIds &ids)
{
    while (!path.empty() && path.front() == '/')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    if (path.empty()) {
        return false;
    }
    const size_t slash = path.rfind('/');
    const std::string_view dir = slash == std::string_view::npos ? std::string_view()
                                                                 : path.substr(0, slash);
    if (!m_hasLastDir || dir != m_lastDir) {
        m_lastDirId = m_dirs.intern(dir);
        m_lastDir = m_dirs.text(m_lastDirId); // the interner's copy stays valid
        m_hasLastDir = true;
    }
    ids.dir = m_lastDirId;
    ids.name = m_names.intern(slash == std::string_view::npos ? path : path.substr(slash + 1));
    return true;
}

void FileIndex::finish()
{
    if (m_finished) {
        return;
    }
    m_finished = true;
    endInput();
    m_nameOrder = catalogueOrder(m_names);
    m_dirOrder = catalogueOrder(m_dirs);
    m_links.renumber(idsOf(m_dirOrder), idsOf(m_nameOrder));
}

void FileIndex::endInput()
{
    m_links.seal();
    m_names.releaseLookup();
    m_dirs.releaseLookup();
}

void FileIndex::releaseDirectories()
{
    m_dirs.clear();
    std::vector<uint32_t>().swap(m_dirOrder);
}

std::string FileIndex::storedPath(std::string_view dir)
{
    if (dir.empty()) {
        return std::string();
    }
    std::string path;
    path.reserve(dir.size() + 1);
    path += '/';
    path += dir;
    return path;
}
