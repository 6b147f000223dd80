#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ByteSource;

// Splits a ByteSource into lines without loading it whole: a growing buffer
// holds the current line and what was read ahead. A returned line stays valid
// until the next call to next(). Lines with NUL bytes are rejected because
// they mean the input is binary (an unknown compression or not text at all);
// each block is checked as it arrives, so a stream of NULs or a line without
// end never grows the buffer past one line of at most `maxLine` bytes.
class LineReader
{
public:
    static constexpr size_t kMaxLine = 1 << 20; // far beyond any real index line

    explicit LineReader(ByteSource &source, size_t blockSize = 1 << 20,
                        size_t maxLine = kMaxLine);

    // Returns false at the end. The line excludes "\n" and a trailing "\r".
    bool next(std::string_view &line);

    // A line longer than maxLine is dropped (and counted) instead of failing the read; a
    // NUL byte still does.
    void skipLongLines() { m_skipLong = true; }
    uint64_t skippedLines() const { return m_skippedLines; }

    uint64_t lineNumber() const { return m_lineNumber; }
    const std::string &name() const;

private:
    bool fill();
    bool checkLine(size_t lineEnd) const;
    void skipLongLine();

    ByteSource &m_source;
    std::vector<char> m_buffer;
    size_t m_begin = 0;
    size_t m_end = 0;
    size_t m_blockSize;
    size_t m_maxLine;
    uint64_t m_lineNumber = 0;
    bool m_eof = false;
    bool m_skipLong = false;
    uint64_t m_skippedLines = 0;
};
