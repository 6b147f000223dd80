#include "DpkgFileList.h"

#include "LineReader.h"

#include <string_view>
#include <unordered_set>

std::vector<std::string> DpkgFileList::readFiles(LineReader &reader)
{
    std::vector<std::string> entries;
    std::unordered_set<std::string_view> parents;
    std::string_view line;
    while (reader.next(line)) {
        while (line.size() > 1 && line.back() == '/')
            line.remove_suffix(1);
        if (line.empty() || line == "/" || line == "/.")
            continue; // the root directory
        entries.emplace_back(line);
    }
    for (const std::string &entry : entries) {
        std::string_view parent = entry;
        for (size_t slash = parent.rfind('/'); slash != std::string_view::npos && slash > 0;
             slash = parent.rfind('/')) {
            parent = parent.substr(0, slash);
            if (!parents.insert(parent).second)
                break; // its ancestors were recorded already
        }
    }
    std::vector<std::string> files;
    files.reserve(entries.size());
    for (const std::string &entry : entries) {
        if (!parents.count(entry))
            files.push_back(entry); // copied: `parents` points into `entries`
    }
    return files;
}
