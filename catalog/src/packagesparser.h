#pragma once

#include <cstdint>

#include "parseerror.h"
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class LineReader;

// One stanza of a Debian Packages index or dpkg status file, reduced to the
// fields the catalogue needs (its identity, and the summary and section the
// finder's details show). `line` is where the stanza starts.
struct PackageStanza
{
    std::string package;
    std::string version;
    std::string architecture;
    std::string status;
    std::string summary; // the first line of Description
    std::string section;
    uint64_t line = 0;        // where the stanza starts
    uint64_t versionLine = 0; // where its Version field is
    std::vector<std::string> fields; // lower-case names seen so far in the stanza
    bool bad = false;                // a lenient parse skips it
};

// Parses deb822 stanzas ("Field: value", continuation lines starting with a
// blank, stanzas separated by blank lines). In Packages mode every stanza
// must carry Package, Version and Architecture. In DpkgStatus mode only
// packages whose files are on disk are reported (and checked): status
// installed, half-configured, unpacked, half-installed, triggers-awaited or
// triggers-pending, whatever the want and flag words of Status say.
// Checked stanzas must have an upstream version ("1:" or "-" has none) and
// no '/' in the package name or architecture (they become file names). A
// field given twice in one stanza, usually two stanzas run together by a
// missing blank line, is an error in either mode. With `skipped`, a stanza with any of
// these errors is counted there and left out instead, and the rest is read.
class PackagesParser
{
public:
    enum class Mode { Packages, DpkgStatus };
    using Callback = std::function<void(const PackageStanza &)>;

    static void parse(LineReader &reader, Mode mode, const Callback &callback,
                      SkippedEntries *skipped = nullptr);

private:
    static void noteField(const LineReader &reader, std::string_view field,
                          PackageStanza &stanza, SkippedEntries *skipped);
    static void finishStanza(const LineReader &reader, Mode mode, PackageStanza &stanza,
                             const Callback &callback, SkippedEntries *skipped);
    static void fail(const ParseError &error, PackageStanza &stanza, SkippedEntries *skipped);
};
