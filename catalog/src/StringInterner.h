#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

// Gives each distinct string a dense id 1..N. The text is copied once into
// large arena blocks, so millions of short strings cost little more than
// their bytes plus one hash-table node.
class StringInterner
{
public:
    // Returns the id of `text`, adding it when it is new.
    uint32_t intern(std::string_view text);

    // The string with id `id` (1-based).
    std::string_view text(uint32_t id) const { return m_byId[id - 1]; }
    size_t size() const { return m_byId.size(); }

private:
    std::string_view store(std::string_view text);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    size_t m_blockUsed = 0;
    size_t m_blockSize = 0;
    std::unordered_map<std::string_view, uint32_t> m_ids;
    std::vector<std::string_view> m_byId;
};
