#ifndef IDSET_H
#define IDSET_H

// A set of ids below a bound known in advance (the packages of a search), one bit each.

#include <cstddef>
#include <cstdint>
#include <vector>

class IdSet
{
public:
    explicit IdSet(size_t bound = 0) : words((bound + 63) / 64) {}
    void insert(uint32_t id) { words[id >> 6] |= uint64_t(1) << (id & 63); }
    bool contains(uint32_t id) const
    {
        return (id >> 6) < words.size() && (words[id >> 6] >> (id & 63) & 1);
    }
    // Adds every id of another set made with the same bound.
    void merge(const IdSet &other)
    {
        for (size_t w = 0; w < words.size() && w < other.words.size(); ++w)
            words[w] |= other.words[w];
    }
    std::vector<uint32_t> ids() const
    {
        std::vector<uint32_t> out;
        for (size_t w = 0; w < words.size(); ++w) {
            for (uint64_t bits = words[w]; bits; bits &= bits - 1)
                out.push_back(uint32_t(w * 64 + size_t(__builtin_ctzll(bits))));
        }
        return out;
    }

private:
    std::vector<uint64_t> words;
};

#endif // IDSET_H
