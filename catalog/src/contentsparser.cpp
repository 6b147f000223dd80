#include "contentsparser.h"

#include "linereader.h"
#include "parseerror.h"

namespace {
bool isBlankChar(char c)
{
    return c == ' ' || c == '\t';
}

// A header, when there is one, is short: only this many leading lines are
// held back while looking for its "FILE  LOCATION" end line.
constexpr size_t kMaxHeaderLines = 200;
} // namespace

bool ContentsParser::splitLine(std::string_view line, std::string_view &path,
                               std::string_view &location)
{
    size_t end = line.size();
    while (end > 0 && isBlankChar(line[end - 1]))
        --end;
    size_t start = end;
    while (start > 0 && !isBlankChar(line[start - 1]))
        --start;
    size_t pathEnd = start;
    while (pathEnd > 0 && isBlankChar(line[pathEnd - 1]))
        --pathEnd;
    size_t pathStart = 0;
    while (pathStart < pathEnd && isBlankChar(line[pathStart]))
        ++pathStart;
    if (pathEnd <= pathStart || start == end) {
        return false;
    }
    path = line.substr(pathStart, pathEnd - pathStart);
    while (!path.empty() && path.front() == '/')
        path.remove_prefix(1);
    location = line.substr(start, end - start);
    return true;
}

bool ContentsParser::isHeaderEnd(std::string_view line)
{
    if (line.substr(0, 4) != "FILE" || line.size() < 5 || !isBlankChar(line[4])) {
        return false;
    }
    size_t i = 4;
    while (i < line.size() && isBlankChar(line[i]))
        ++i;
    return line.substr(i, 8) == "LOCATION";
}

void ContentsParser::handleLine(const std::string &file, uint64_t lineNumber,
                                std::string_view line, const Callback &callback,
                                SkippedEntries *skipped)
{
    const auto fail = [skipped](const ParseError &error) {
        if (!skipped) {
            throw error;
        }
        skipped->note(error);
    };
    std::string_view path;
    std::string_view location;
    if (line.find_first_not_of(" \t") == std::string_view::npos) {
        return;
    }
    if (!splitLine(line, path, location)) {
        fail(ParseError(file, lineNumber,
                        "Contents line without a location (\"path  section/package\")"));
        return;
    }
    for (size_t start = 0;;) {
        const size_t comma = location.find(',', start);
        const std::string_view item = location.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (item.empty() || item.back() == '/') {
            fail(ParseError(file, lineNumber,
                            "Contents location \"" + std::string(location)
                                + "\" lists a package without a name"));
            return;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    callback(path, location);
}

uint64_t ContentsParser::parse(LineReader &reader, const Callback &callback,
                               SkippedEntries *badLines)
{
    // Hold back the first lines until we know whether they are a header.
    std::vector<std::string> held;
    std::string_view line;
    bool headerDone = false;
    uint64_t skipped = 0;
    while (!headerDone && reader.next(line)) {
        if (isHeaderEnd(line)) {
            for (const std::string &text : held)
                skipped += text.find_first_not_of(" \t") != std::string::npos;
            held.clear();
            headerDone = true;
        } else {
            held.emplace_back(line);
            headerDone = held.size() >= kMaxHeaderLines;
        }
    }
    const uint64_t firstHeld = reader.lineNumber() + 1 - held.size();
    for (size_t i = 0; i < held.size(); ++i)
        handleLine(reader.name(), firstHeld + i, held[i], callback, badLines);
    while (reader.next(line))
        handleLine(reader.name(), reader.lineNumber(), line, callback, badLines);
    return skipped;
}
