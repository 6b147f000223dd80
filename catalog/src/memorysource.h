#pragma once

#include "bytesource.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

// Serves an in-memory buffer as-is (no decompression). Used by unit tests and
// fuzz targets; `chunk` limits each read to exercise buffer boundaries.
class MemorySource : public ByteSource
{
public:
    MemorySource(std::string name, std::string_view data, size_t chunk = 1 << 20)
        : m_name(std::move(name)), m_data(data), m_chunk(chunk ? chunk : 1)
    {
    }

    size_t read(char *buffer, size_t size) override
    {
        const size_t n = std::min({size, m_chunk, m_data.size() - m_pos});
        std::memcpy(buffer, m_data.data() + m_pos, n);
        m_pos += n;
        return n;
    }

    const std::string &name() const override { return m_name; }

private:
    std::string m_name;
    std::string_view m_data;
    size_t m_chunk;
    size_t m_pos = 0;
};
