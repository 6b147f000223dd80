#include "trigramindex.h"

#include "fileindex.h"
#include "sqlitedb.h"

#include <catalogueblobs.h>
#include <catalogueschema.h>

#include <new>

namespace {
constexpr uint32_t kKeys = uint32_t(1) << 24;
// At most this many block ids are held at once (64 MB), unless one trigram has more.
constexpr uint64_t kMaxBuffered = uint64_t(1) << 24;
// The fill passes mark blocks with this bit, so that their marks differ from the counting pass's.
constexpr uint32_t kSecondPass = uint32_t(1) << 31;

uint32_t *zeroedKeyTable()
{
    void *table = std::calloc(kKeys, sizeof(uint32_t));
    if (!table) {
        throw std::bad_alloc();
    }
    return static_cast<uint32_t *>(table);
}
} // namespace

TrigramIndex::TrigramIndex(const FileIndex &files)
    : m_files(files), m_seen(zeroedKeyTable()), m_place(zeroedKeyTable())
{
}

// Calls fn(key, block) once for each trigram and ending (endKey) of each name block with a key in
// [first, end), blocks in order. `mark` tells this pass's blocks apart from the
// previous pass's (each key is in one fill pass only).
template<typename Fn>
void TrigramIndex::forEachNewTrigram(uint32_t first, uint32_t end, uint32_t mark, Fn &&fn)
{
    const size_t names = m_files.nameCount();
    for (size_t id = 0; id < names; ++id) {
        const uint32_t seen = mark | uint32_t(id / QV_NAMES_PER_BLOCK + 1);
        const std::string_view name = m_files.nameAt(uint32_t(id));
        const auto add = [&](uint32_t key) {
            if (key >= first && key < end && m_seen[key] != seen) {
                m_seen[key] = seen;
                fn(key, seen - mark - 1);
            }
        };
        const auto byte = [&name](size_t i) { return static_cast<unsigned char>(CatalogueBlobs::foldAscii(name[i])); };
        for (size_t i = 0; i + 3 <= name.size(); ++i)
            add(CatalogueBlobs::trigramKey(byte(i), byte(i + 1), byte(i + 2)));
        if (!name.empty()) {
            add(CatalogueBlobs::endKey(byte(name.size() - 1), name.size() > 1 ? byte(name.size() - 2) : 0));
        }
    }
}

void TrigramIndex::write(SqliteDb &db)
{
    db.exec(QV_CREATE_TRIGRAM_TABLE);
    SqliteDb::Statement insert(db, "INSERT INTO " QV_TRIGRAM_TABLE " (" QV_TRIGRAM_KEY ", " QV_TRIGRAM_BLOCKS
                                   ") VALUES (?1, ?2)");
    forEachNewTrigram(0, kKeys, 0, [this](uint32_t key, uint32_t) { ++m_place[key]; });
    // The keys in ranges whose lists fit the buffer (a range holds at least one key);
    // one more pass over the names for each range.
    for (uint32_t first = 0; first < kKeys;) {
        uint64_t total = 0;
        uint32_t end = first;
        for (; end < kKeys && (total == 0 || total + m_place[end] <= kMaxBuffered); ++end) {
            if (const uint32_t count = m_place[end]) {
                m_place[end] = uint32_t(total); // where the key's list begins
                total += count;
            }
        }
        m_blocks.resize(total);
        forEachNewTrigram(first, end, kSecondPass,
                          [this](uint32_t key, uint32_t block) { m_blocks[m_place[key]++] = block; });
        writeLists(insert, first, end);
        first = end;
    }
    m_seen.reset();
    m_place.reset();
    std::vector<uint32_t>().swap(m_blocks);
}

// After a fill pass each key's list ends where the next key's list begins.
void TrigramIndex::writeLists(SqliteDb::Statement &insert, uint32_t first, uint32_t end)
{
    std::vector<uint32_t> list;
    uint32_t begin = 0;
    for (uint32_t key = first; key < end; ++key) {
        const uint32_t listEnd = m_place[key];
        if (listEnd <= begin) {
            continue;
        }
        list.assign(m_blocks.begin() + begin, m_blocks.begin() + listEnd);
        const std::string blob = CatalogueBlobs::encodePostings(list);
        insert.bind(1, int64_t(key));
        insert.bindBlob(2, blob);
        insert.run();
        begin = listEnd;
    }
}
