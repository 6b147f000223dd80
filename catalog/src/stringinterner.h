#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// Gives each distinct string a dense id 0..N-1, compactly: millions of file names
// cost their bytes plus 4 to 8 bytes each, and 8 to 16 more for the lookup while
// it is kept. The texts are copied once, one after the other in id order, into
// large arena blocks and never move; a text is found by one 32-bit reference
// (block and offset) and ends where the next one begins, or at its block's end.
// The lookup is an open-addressing hash set of ids, which can be released once
// every text is in.
class StringInterner
{
public:
    StringInterner();
    ~StringInterner();
    StringInterner(const StringInterner &) = delete;
    StringInterner &operator=(const StringInterner &) = delete;

    // Returns the id of `text`, adding it when it is new. Not after releaseLookup().
    uint32_t intern(std::string_view text);

    std::string_view text(uint32_t id) const
    {
        const uint32_t ref = m_refs[id];
        const uint32_t block = ref >> kOffsetBits;
        const uint32_t begin = ref & kOffsetMask;
        const bool nextInBlock = id + 1 < m_refs.size() && m_refs[id + 1] >> kOffsetBits == block;
        const uint32_t end = nextInBlock ? m_refs[id + 1] & kOffsetMask : m_blockEnds[block];
        return {m_blocks[block].get() + begin, end - begin};
    }
    size_t size() const { return m_refs.size(); }

    // Frees the lookup when no more texts will come.
    void releaseLookup();
    // Frees everything.
    void clear();

private:
    static constexpr unsigned kOffsetBits = 22; // 4 MiB blocks, up to 1024 of them
    static constexpr uint32_t kOffsetMask = (uint32_t(1) << kOffsetBits) - 1;
    static constexpr size_t kBlockSize = size_t(1) << kOffsetBits;

    uint32_t store(std::string_view text);
    void grow();
    size_t slotOf(std::string_view text) const;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<uint32_t> m_blockEnds; // how much of each block is used
    std::vector<uint32_t> m_refs;      // block << kOffsetBits | offset of each text
    std::vector<uint32_t> m_slots;     // id + 1 of each occupied slot, 0 for a free one
};
