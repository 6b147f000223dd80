#pragma once

#include <string>

// An RPM package as repodata or the RPM database lists it: its identity (the
// package table keeps no epoch; a missing epoch means 0) and the summary and
// group that the finder's details show.
struct RpmPackage
{
    std::string name;
    std::string arch;
    std::string epoch;
    std::string ver;
    std::string rel;
    std::string summary; // one line
    std::string group;   // "" where the metadata has none

    void clear() { *this = RpmPackage(); }
};
