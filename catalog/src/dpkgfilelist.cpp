#include "dpkgfilelist.h"

#include "linereader.h"

#include <algorithm>
#include <string_view>

std::vector<std::string> DpkgFileList::readFiles(LineReader &reader)
{
    std::vector<std::string> entries;
    std::string_view line;
    while (reader.next(line)) {
        while (line.size() > 1 && line.back() == '/')
            line.remove_suffix(1);
        if (line.empty() || line == "/" || line == "/.") {
            continue; // the root directory
        }
        entries.emplace_back(line);
    }
    // An entry is a directory when another entry starts with it plus "/".
    // Such entries form one run in sorted order, found by binary search, so
    // the work stays O(total length x log n) however deep a path is (hashing
    // every ancestor of every entry was quadratic in the path length).
    std::vector<std::string_view> sorted(entries.begin(), entries.end());
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> files;
    files.reserve(entries.size());
    std::string below;
    for (const std::string &entry : entries) {
        below.assign(entry).push_back('/');
        const auto it = std::lower_bound(sorted.begin(), sorted.end(), std::string_view(below));
        if (it == sorted.end() || it->substr(0, below.size()) != below) {
            files.push_back(entry);
        }
    }
    return files;
}
