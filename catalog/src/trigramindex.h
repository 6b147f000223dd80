#pragma once

#include "sqlitedb.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

class FileIndex;

// The trigram table: for each run of three bytes of the folded names, the name
// blocks holding a name with that run. Passes over the names in catalogue order:
// the first counts each trigram's blocks; each further one puts the blocks of a
// range of keys into one buffer at the places the counts give, so that each list
// comes out sorted, nothing grows, and the buffer stays bounded (18.4 million block
// ids for Debian bookworm would be 74 MB at once). Two flat tables over every
// possible key (2^24) tell where each list goes and which block a trigram was last
// seen in; they are allocated zeroed by the system, so only the pages real
// trigrams touch cost memory.
class TrigramIndex
{
public:
    explicit TrigramIndex(const FileIndex &files);
    void write(SqliteDb &db);

private:
    struct Free
    {
        void operator()(uint32_t *p) const { std::free(p); }
    };
    using KeyTable = std::unique_ptr<uint32_t[], Free>;

    template<typename Fn>
    void forEachNewTrigram(uint32_t first, uint32_t end, uint32_t mark, Fn &&fn);
    void writeLists(SqliteDb::Statement &insert, uint32_t first, uint32_t end);

    const FileIndex &m_files;
    KeyTable m_seen;  // the mark of the block a trigram was last seen in
    KeyTable m_place; // first a count, then where the next block goes
    std::vector<uint32_t> m_blocks;
};
