#ifndef MATCHTOOLTIP_H
#define MATCHTOOLTIP_H

#include <QString>

#include <string>
#include <vector>

// The tooltip of a file-name result's 匹配文件 cell: the package's matching files, one a
// line, the first maxFiles of them, then how many more there are.
class MatchTooltip
{
public:
    static constexpr int maxFiles = 50;
    // A path longer than this is cut in the tooltip (the cell keeps the whole first path).
    static constexpr int maxPathChars = 4096;

    // files: the first matching files, sorted; total: how many match in all.
    static QString text(const std::vector<std::string> &files, size_t total);
};

#endif // MATCHTOOLTIP_H
