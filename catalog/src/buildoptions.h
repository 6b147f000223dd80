#pragma once

#include <string>
#include <vector>

// The inputs of one catalogue build.
struct BuildOptions
{
    std::vector<std::string> packages; // Packages indexes
    std::vector<std::string> contents; // Contents indexes
    std::vector<std::string> repodata; // RPM repository roots or repodata folders
    std::vector<std::string> rpmdbRoots; // roots whose RPM database is read ("/": this machine)
    std::string dpkgStatus;            // dpkg status file, empty for none
    std::string dpkgInfo;              // folder with <package>.list files
    // The dpkg database is this machine's own (--installed): .list entries
    // that are directories on disk (lstat, links not followed) are left out.
    bool dpkgOnThisSystem = false;
    bool allVersions = false;          // every listed version, not only the newest
    // The machine's catalogue (--system, --user): a bad stanza or line is skipped and
    // counted per list, a list that cannot be read is left out, and the catalogue is built
    // from the rest. Explicit builds stop at the first problem.
    bool skipBadEntries = false;

    bool empty() const
    {
        return packages.empty() && contents.empty() && repodata.empty() && dpkgStatus.empty()
               && rpmdbRoots.empty();
    }
};
