#ifndef BLOCKBITS_H
#define BLOCKBITS_H

// Which entries of the blocks a search read matched (names or directories): one 64-bit
// mask for each block that had a match, added in ascending block order. It takes room
// only for the blocks that were read, whatever ids a catalogue claims.

#include <algorithm>
#include <cstdint>
#include <vector>

class BlockBits
{
public:
    // Blocks must come in ascending order; a block is added once.
    void add(uint32_t block, uint64_t mask)
    {
        if (mask == 0) {
            return;
        }
        blocks.push_back(block);
        masks.push_back(mask);
    }
    bool contains(uint32_t id, uint32_t perBlock) const
    {
        const uint32_t block = id / perBlock;
        const auto it = std::lower_bound(blocks.begin(), blocks.end(), block);
        if (it == blocks.end() || *it != block) {
            return false;
        }
        return masks[size_t(it - blocks.begin())] >> (id % perBlock) & 1;
    }
    bool empty() const { return blocks.empty(); }

private:
    std::vector<uint32_t> blocks;
    std::vector<uint64_t> masks;
};

#endif // BLOCKBITS_H
