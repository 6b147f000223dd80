#include "SourceDevice.h"

#include "ByteSource.h"

SourceDevice::SourceDevice(ByteSource &source) : m_source(source)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool SourceDevice::atEnd() const
{
    return m_eof && QIODevice::atEnd();
}

qint64 SourceDevice::readData(char *data, qint64 maxSize)
{
    if (m_eof || maxSize <= 0)
        return m_eof ? -1 : 0;
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
    } catch (...) {
        m_failure = std::current_exception();
        m_eof = true;
        return -1;
    }
    return filled > 0 ? qint64(filled) : -1;
}

void SourceDevice::rethrowFailure() const
{
    if (m_failure)
        std::rethrow_exception(m_failure);
}
