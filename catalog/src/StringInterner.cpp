#include "StringInterner.h"

#include <cstring>

namespace {
constexpr size_t kBlockSize = 4 << 20;
}

uint32_t StringInterner::intern(std::string_view text)
{
    const auto it = m_ids.find(text);
    if (it != m_ids.end())
        return it->second;
    const std::string_view stored = store(text);
    m_byId.push_back(stored);
    const auto id = uint32_t(m_byId.size());
    m_ids.emplace(stored, id);
    return id;
}

std::string_view StringInterner::store(std::string_view text)
{
    if (text.empty())
        return std::string_view(); // needs no storage, and there may be no block yet
    if (m_blockSize - m_blockUsed < text.size()) {
        m_blockSize = std::max(kBlockSize, text.size());
        m_blocks.push_back(std::make_unique<char[]>(m_blockSize));
        m_blockUsed = 0;
    }
    char *dest = m_blocks.back().get() + m_blockUsed;
    std::memcpy(dest, text.data(), text.size());
    m_blockUsed += text.size();
    return {dest, text.size()};
}
