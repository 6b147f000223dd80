#pragma once

#include <string>

// An RPM package identity as repodata lists it; the epoch is not stored in
// the catalogue, and a missing epoch means 0.
struct RpmPackage
{
    std::string name;
    std::string arch;
    std::string epoch;
    std::string ver;
    std::string rel;

    void clear() { *this = RpmPackage(); }
};
