#include "SourceDevice.h"

#include "ByteSource.h"

SourceDevice::SourceDevice(ByteSource &source) : m_source(source)
{
    open(QIODevice::ReadOnly);
}

bool SourceDevice::atEnd() const
{
    return m_eof && QIODevice::atEnd();
}

qint64 SourceDevice::readData(char *data, qint64 maxSize)
{
    if (m_eof || maxSize <= 0)
        return m_eof ? -1 : 0;
    size_t n = 0;
    try {
        n = m_source.read(data, size_t(maxSize));
    } catch (...) {
        m_failure = std::current_exception();
        m_eof = true;
        return -1;
    }
    if (n == 0) {
        m_eof = true;
        return -1;
    }
    return qint64(n);
}

void SourceDevice::rethrowFailure() const
{
    if (m_failure)
        std::rethrow_exception(m_failure);
}
