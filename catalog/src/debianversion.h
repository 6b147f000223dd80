#pragma once

#include <string_view>

// A Debian version as the catalogue stores it: the epoch ("1:") is dropped,
// the upstream version is everything before the LAST "-", the revision
// everything after it. Native packages (no "-") get revision "0".
struct DebianVersion
{
    std::string_view upstream;
    std::string_view revision;

    static DebianVersion split(std::string_view version);
};
