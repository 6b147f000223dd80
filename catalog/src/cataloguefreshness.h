#pragma once

#include "buildoptions.h"

#include <ctime>
#include <string>
#include <utility>
#include <vector>

class SqliteDb;

// Whether a catalogue still describes its inputs: it does when it is of the format this
// builder writes, was made from the same sources with the same options, and is newer
// than every input. An input counts from the later of its modification and its status
// change, because apt gives a fetched index the server's modification time, which can be
// older than a catalogue built from the index it replaces; the change time says when it
// arrived.
class CatalogueFreshness
{
public:
    // The files whose change makes the catalogue stale: every index, each repository's
    // repomd.xml, each RPM database's files, the dpkg status file and its info folder,
    // and the extra folders (apt's lists folder: an index that disappears changes only
    // the folder). An RPM root without a database gives an input that cannot be dated.
    static std::vector<std::string> inputsOf(const BuildOptions &build,
                                             const std::vector<std::string> &folders);

    // The sources (absolute paths, in the order given) and the options that shape the
    // catalogue's rows, as key and value.
    static std::vector<std::pair<std::string, std::string>> describe(const BuildOptions &build);
    // Writes describe(build) into the catalogue being made, in a table of its own.
    static void record(SqliteDb &db, const BuildOptions &build);

    // True when the catalogue exists, its PRAGMA user_version is the format this builder
    // writes, it records the very sources and options of `build`, and its modification
    // time is later than each input's; false when it or any input cannot be looked at.
    static bool isUpToDate(const std::string &catalogue, const std::vector<std::string> &inputs,
                           const BuildOptions &build);

    // A build stamps its catalogue with the moment it started reading its inputs, so
    // that an input that changes while the build runs still makes it stale.
    static timespec now();
    static bool stamp(const std::string &catalogue, const timespec &started);
};
