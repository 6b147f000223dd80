#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ByteSource;

// Splits a ByteSource into lines without loading it whole: a growing buffer
// holds the current line and what was read ahead. A returned line stays valid
// until the next call to next(). Lines with NUL bytes are rejected because
// they mean the input is binary (an unknown compression or not text at all).
class LineReader
{
public:
    explicit LineReader(ByteSource &source, size_t blockSize = 1 << 20);

    // Returns false at the end. The line excludes "\n" and a trailing "\r".
    bool next(std::string_view &line);

    uint64_t lineNumber() const { return m_lineNumber; }
    const std::string &name() const;

private:
    bool fill();

    ByteSource &m_source;
    std::vector<char> m_buffer;
    size_t m_begin = 0;
    size_t m_end = 0;
    size_t m_blockSize;
    uint64_t m_lineNumber = 0;
    bool m_eof = false;
};
