#pragma once

#include <QIODevice>

#include <exception>

class ByteSource;

// Presents a ByteSource as a sequential, read-only QIODevice so that
// QXmlStreamReader can pull decompressed XML incrementally.
class SourceDevice : public QIODevice
{
public:
    explicit SourceDevice(ByteSource &source);

    bool isSequential() const override { return true; }
    bool atEnd() const override;

    // A read failure of the source cannot travel through Qt as an exception;
    // it is kept and rethrown here once the XML reader has stopped.
    void rethrowFailure() const;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    ByteSource &m_source;
    bool m_eof = false;
    std::exception_ptr m_failure;
};
