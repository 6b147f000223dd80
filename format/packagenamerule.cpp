#include "packagenamerule.h"

namespace {

bool isLowerAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool isAsciiAlnum(char c)
{
    return isLowerAlnum(c) || (c >= 'A' && c <= 'Z');
}

bool isOneOf(char c, std::string_view set)
{
    return set.find(c) != std::string_view::npos;
}

} // namespace

namespace PackageNameRule {

bool isDebianName(std::string_view name)
{
    if (name.size() < 2 || !isLowerAlnum(name.front())) {
        return false;
    }
    for (char c : name) {
        if (!isLowerAlnum(c) && !isOneOf(c, "+-.")) {
            return false;
        }
    }
    return true;
}

bool isRpmName(std::string_view name)
{
    if (name.empty() || !(isAsciiAlnum(name.front()) || isOneOf(name.front(), "_%{}"))) {
        return false;
    }
    for (char c : name) {
        if (!isAsciiAlnum(c) && !isOneOf(c, ".-_+%{}")) {
            return false;
        }
    }
    return name.find("..") == std::string_view::npos;
}

} // namespace PackageNameRule
