#include "sourcedevice.h"

#include "bytesource.h"
#include "parseerror.h"

#include <algorithm>
#include <cstring>

SourceDevice::SourceDevice(ByteSource &source, uint64_t maxRun)
    : m_source(source), m_maxRun(maxRun)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool SourceDevice::atEnd() const
{
    return m_eof && QIODevice::atEnd();
}

qint64 SourceDevice::readData(char *data, qint64 maxSize)
{
    if (m_eof || maxSize <= 0) {
        return m_eof ? -1 : 0;
    }
    // Fill the whole request unless the input ends: QXmlStreamReader decodes
    // each read as a unit, and where it reports an encoding error depends on
    // those units, so they must not depend on how the source chunks its data.
    size_t filled = 0;
    try {
        while (filled < size_t(maxSize)) {
            const size_t n = m_source.read(data + filled, size_t(maxSize) - filled);
            if (n == 0) {
                m_eof = true;
                break;
            }
            filled += n;
        }
        scan(data, filled);
    } catch (...) {
        m_failure = std::current_exception();
        m_eof = true;
        return -1;
    }
    return filled > 0 ? qint64(filled) : -1;
}

void SourceDevice::rethrowFailure() const
{
    if (m_failure) {
        std::rethrow_exception(m_failure);
    }
}

// Follows the '<' and the line count through the bytes handed out.
void SourceDevice::scan(const char *data, size_t size)
{
    size_t pos = 0;
    while (pos <= size) {
        const void *open = std::memchr(data + pos, '<', size - pos);
        const size_t end = open ? size_t(static_cast<const char *>(open) - data) : size;
        if (m_offset + end - m_lastOpen > m_maxRun) {
            throw ParseError(m_source.name(), m_openLine,
                             "XML text or tag longer than " + std::to_string(m_maxRun >> 10)
                                 + " KiB: not repository metadata, or a damaged file");
        }
        m_lines += uint64_t(std::count(data + pos, data + end, '\n'));
        if (!open) {
            break;
        }
        m_lastOpen = m_offset + end;
        m_openLine = m_lines + 1;
        pos = end + 1;
    }
    m_offset += size;
}
