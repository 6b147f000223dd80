#pragma once

#include <QIODevice>

#include <cstddef>
#include <cstdint>
#include <exception>

class ByteSource;

// Presents a ByteSource as a sequential, read-only QIODevice so that
// QXmlStreamReader can pull decompressed XML incrementally. QXmlStreamReader
// holds a whole text run or tag in memory, so the device fails the input
// where more than `maxRun` bytes pass without a '<' (a text or a tag that
// long is a bomb, not metadata), reporting the line where that run began.
class SourceDevice : public QIODevice
{
public:
    static constexpr uint64_t kMaxRun = 1 << 20;

    explicit SourceDevice(ByteSource &source, uint64_t maxRun = kMaxRun);

    bool isSequential() const override { return true; }
    bool atEnd() const override;

    // A read failure of the source cannot travel through Qt as an exception;
    // it is kept and rethrown here once the XML reader has stopped.
    void rethrowFailure() const;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    void scan(const char *data, size_t size);

    ByteSource &m_source;
    uint64_t m_maxRun;
    uint64_t m_offset = 0;   // bytes handed out so far
    uint64_t m_lastOpen = 0; // offset of the last '<' (0 before the first)
    uint64_t m_lines = 0;    // newlines handed out so far
    uint64_t m_openLine = 1; // line of the last '<'
    bool m_eof = false;
    std::exception_ptr m_failure;
};
