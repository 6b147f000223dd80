#pragma once

#include "BuildOptions.h"

#include <ctime>
#include <string>
#include <vector>

// Whether a catalogue still describes its inputs: it does when it is newer than every
// one of them. An input counts from the later of its modification and its status change,
// because apt gives a fetched index the server's modification time, which can be older
// than a catalogue built from the index it replaces; the change time says when it arrived.
class CatalogueFreshness
{
public:
    // The files whose change makes the catalogue stale: every index, each repository's
    // repomd.xml, the dpkg status file and its info folder, and the extra folders
    // (apt's lists folder: an index that disappears changes only the folder).
    static std::vector<std::string> inputsOf(const BuildOptions &build,
                                             const std::vector<std::string> &folders);

    // True when the catalogue exists and its modification time is later than each
    // input's; false when it or any input cannot be looked at.
    static bool isUpToDate(const std::string &catalogue, const std::vector<std::string> &inputs);

    // A build stamps its catalogue with the time it started reading, so that an input
    // that changes while the build runs still makes it stale.
    static timespec now();
    static bool stamp(const std::string &catalogue, const timespec &started);
};
