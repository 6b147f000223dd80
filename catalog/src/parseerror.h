#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// An input problem located in a file: "FILE:LINE: message" or, for XML,
// "FILE:LINE:COLUMN: message". Line 0 means the whole file.
class ParseError : public std::runtime_error
{
public:
    ParseError(const std::string &file, uint64_t line, const std::string &message,
               uint64_t column = 0)
        : std::runtime_error(format(file, line, column, message))
        , m_file(file)
        , m_line(line)
        , m_column(column)
    {
    }

    const std::string &file() const { return m_file; }
    uint64_t line() const { return m_line; }
    uint64_t column() const { return m_column; }

private:
    static std::string format(const std::string &file, uint64_t line, uint64_t column,
                              const std::string &message)
    {
        std::string text = file;
        if (line > 0) {
            text += ':' + std::to_string(line);
        }
        if (column > 0) {
            text += ':' + std::to_string(column);
        }
        return text + ": " + message;
    }

    std::string m_file;
    uint64_t m_line;
    uint64_t m_column;
};

// What a lenient read of one list skipped: how many bad stanzas or lines, and the
// first one's error, for the build's log.
struct SkippedEntries
{
    uint64_t count = 0;
    std::string first;

    void note(const ParseError &error)
    {
        if (count++ == 0) {
            first = error.what();
        }
    }
};
