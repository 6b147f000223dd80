#include "linereader.h"

#include "bytesource.h"
#include "parseerror.h"

#include <algorithm>
#include <cstring>

LineReader::LineReader(ByteSource &source, size_t blockSize, size_t maxLine)
    : m_source(source), m_buffer(blockSize * 2), m_blockSize(blockSize), m_maxLine(maxLine)
{
}

const std::string &LineReader::name() const
{
    return m_source.name();
}

// Moves the unread tail to the front and appends one block; false at the end.
bool LineReader::fill()
{
    if (m_eof) {
        return false;
    }
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_buffer.size() - m_end < m_blockSize) {
        m_buffer.resize(m_end + m_blockSize);
    }
    const size_t n = m_source.read(m_buffer.data() + m_end, m_blockSize);
    if (n == 0) {
        m_eof = true;
        return false;
    }
    m_end += n;
    return true;
}

// The next line runs from m_begin to lineEnd (exclusive), which may still be
// growing. A NUL within its first maxLine bytes makes it binary; beyond that
// it is too long. The verdict does not depend on how the input was chunked.
void LineReader::checkLine(size_t lineEnd) const
{
    const size_t checked = std::min(lineEnd - m_begin, m_maxLine);
    if (std::memchr(m_buffer.data() + m_begin, '\0', checked)) {
        throw ParseError(name(), m_lineNumber + 1,
                         "binary data: not a text file, or an unknown compression");
    }
    if (lineEnd - m_begin > m_maxLine) {
        throw ParseError(name(), m_lineNumber + 1,
                         "line longer than " + std::to_string(m_maxLine >> 10)
                             + " KiB: not a text index, or a damaged one");
    }
}

bool LineReader::next(std::string_view &line)
{
    size_t scanned = m_begin;
    for (;;) {
        const char *start = m_buffer.data() + scanned;
        const void *newline = std::memchr(start, '\n', m_end - scanned);
        if (newline) {
            const size_t lineEnd = size_t(static_cast<const char *>(newline) - m_buffer.data());
            checkLine(lineEnd);
            line = std::string_view(m_buffer.data() + m_begin, lineEnd - m_begin);
            m_begin = lineEnd + 1;
            break;
        }
        checkLine(m_end); // before reading more: no bomb grows the buffer
        const size_t offset = m_end - m_begin; // everything so far has no newline
        if (!fill()) {
            if (m_begin == m_end) {
                return false;
            }
            line = std::string_view(m_buffer.data() + m_begin, m_end - m_begin);
            m_begin = m_end;
            break;
        }
        scanned = m_begin + offset; // fill() moved the unread bytes to the front
    }
    ++m_lineNumber;
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return true;
}
