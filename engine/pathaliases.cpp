#include "pathaliases.h"

#include <cstddef>

namespace {

// The folders that a merged-/usr system links into /usr, each with its "/".
constexpr std::string_view linkedFolders[] = {"/bin/", "/sbin/", "/lib/", "/lib32/", "/lib64/", "/libx32/"};
constexpr std::string_view usr = "/usr";

char folded(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Whether text starts with the folder, ASCII letters compared regardless of case.
bool startsWithFolded(std::string_view text, std::string_view folder)
{
    if (text.size() < folder.size()) {
        return false;
    }
    for (size_t i = 0; i < folder.size(); ++i) {
        if (folded(text[i]) != folder[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string PathAliases::otherName(std::string_view keyword)
{
    keyword = keyword.substr(0, keyword.find('\0'));
    for (const std::string_view folder : linkedFolders) {
        if (startsWithFolded(keyword, folder)) {
            return std::string(usr) + std::string(keyword);
        }
        if (startsWithFolded(keyword, usr) && startsWithFolded(keyword.substr(usr.size()), folder)) {
            return std::string(keyword.substr(usr.size()));
        }
    }
    return {};
}
