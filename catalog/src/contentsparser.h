#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class LineReader;

// Parses a Debian Contents index: "path<blanks>location" per line, where the
// location is a comma-separated list of [area/]section/package. Paths may
// contain blanks, so a line is split at its LAST run of blanks. Older indexes
// begin with a free-text header that ends with a "FILE  LOCATION" line: when
// such a line comes within the first 200 lines, the lines before it are that
// header and are skipped (and counted); otherwise every line is an entry.
// Blank lines are ignored. Every package of a location must have a name.
class ContentsParser
{
public:
    // `path` has any leading "/" removed; `location` is the raw location list.
    using Callback = std::function<void(std::string_view path, std::string_view location)>;

    // Returns how many non-blank lines were skipped as the header.
    static uint64_t parse(LineReader &reader, const Callback &callback);

    // Calls `fn` with the package name of each entry of a location list.
    template<typename Fn>
    static void forEachPackage(std::string_view location, Fn &&fn)
    {
        while (!location.empty()) {
            const size_t comma = location.find(',');
            std::string_view item = location.substr(0, comma);
            const size_t slash = item.rfind('/');
            if (slash != std::string_view::npos) {
                item.remove_prefix(slash + 1);
            }
            if (!item.empty()) {
                fn(item);
            }
            if (comma == std::string_view::npos) {
                break;
            }
            location.remove_prefix(comma + 1);
        }
    }

    // Splits one non-blank line; returns false when it has no location.
    static bool splitLine(std::string_view line, std::string_view &path,
                          std::string_view &location);

private:
    static bool isHeaderEnd(std::string_view line);
    static void handleLine(const std::string &file, uint64_t lineNumber,
                           std::string_view line, const Callback &callback);
};
