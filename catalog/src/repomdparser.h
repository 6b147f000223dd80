#pragma once

#include <string>

class ByteSource;

// Reads repodata/repomd.xml and returns the hrefs of the primary and
// filelists metadata (relative to the repository root).
class RepomdParser
{
public:
    struct Locations
    {
        std::string primary;
        std::string filelists;
    };

    static Locations parse(ByteSource &source);
};
