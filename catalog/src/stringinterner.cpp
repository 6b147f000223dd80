#include "stringinterner.h"

#include <cstring>
#include <functional>
#include <stdexcept>

namespace {
constexpr size_t kFirstSlots = 1024;
} // namespace

StringInterner::StringInterner() : m_slots(kFirstSlots, 0) {}

StringInterner::~StringInterner() = default;

// Linear probing from the text's hash; the table is at most half full, so a free
// slot ends every probe soon.
size_t StringInterner::slotOf(std::string_view text) const
{
    const size_t mask = m_slots.size() - 1;
    size_t slot = std::hash<std::string_view>()(text) & mask;
    for (;; slot = (slot + 1) & mask) {
        const uint32_t entry = m_slots[slot];
        if (entry == 0 || this->text(entry - 1) == text) {
            return slot;
        }
    }
}

uint32_t StringInterner::intern(std::string_view text)
{
    if (m_slots.empty()) {
        throw std::logic_error("StringInterner: intern() after releaseLookup()");
    }
    size_t slot = slotOf(text);
    if (m_slots[slot] != 0) {
        return m_slots[slot] - 1;
    }
    if (m_refs.size() >= UINT32_MAX - 1) {
        throw std::runtime_error("more than 4294967294 distinct file names or directories");
    }
    const auto id = uint32_t(m_refs.size());
    m_refs.push_back(store(text));
    m_slots[slot] = id + 1;
    if (m_refs.size() * 2 > m_slots.size()) {
        grow();
    }
    return id;
}

void StringInterner::grow()
{
    std::vector<uint32_t> old(m_slots.size() * 2, 0);
    old.swap(m_slots);
    for (const uint32_t entry : old) {
        if (entry != 0) {
            m_slots[slotOf(text(entry - 1))] = entry;
        }
    }
}

// A text never spans two blocks, and every offset stays below the block size (so an
// empty text after a full block goes to the next block).
uint32_t StringInterner::store(std::string_view text)
{
    if (text.size() >= kBlockSize) {
        throw std::runtime_error("file name or directory of 4 MiB or more");
    }
    if (m_blocks.empty() || kBlockSize - m_blockEnds.back() <= text.size()) {
        if (m_blocks.size() >= (size_t(1) << (32 - kOffsetBits))) {
            throw std::runtime_error("file names and directories beyond 4 GiB");
        }
        m_blocks.push_back(std::unique_ptr<char[]>(new char[kBlockSize])); // not cleared: pages are taken as texts fill them
        m_blockEnds.push_back(0);
    }
    uint32_t &used = m_blockEnds.back();
    const auto ref = uint32_t((m_blocks.size() - 1) << kOffsetBits | used);
    if (!text.empty()) {
        std::memcpy(m_blocks.back().get() + used, text.data(), text.size());
    }
    used += uint32_t(text.size());
    return ref;
}

void StringInterner::releaseLookup()
{
    std::vector<uint32_t>().swap(m_slots);
}

void StringInterner::clear()
{
    std::vector<std::unique_ptr<char[]>>().swap(m_blocks);
    std::vector<uint32_t>().swap(m_blockEnds);
    std::vector<uint32_t>().swap(m_refs);
    std::vector<uint32_t>().swap(m_slots);
}
