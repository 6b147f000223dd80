#include "packagesparser.h"

#include "debianversion.h"
#include "linereader.h"
#include "parseerror.h"

#include <cstring>
#include <strings.h>

namespace {
std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool fieldIs(std::string_view field, const char *name)
{
    return field.size() == strlen(name) && strncasecmp(field.data(), name, field.size()) == 0;
}

bool isBlank(std::string_view line)
{
    return trim(line).empty();
}

// dpkg's Status field is "<want> <flag> <status>". A package's files are on
// disk in every status but not-installed and config-files, whatever was
// wanted (hold, deinstall, purge) and whether it needs reinstalling.
bool filesOnDisk(std::string_view status)
{
    const size_t blank = status.find_last_of(" \t");
    const std::string_view state = blank == std::string_view::npos ? status : status.substr(blank + 1);
    for (const char *onDisk : {"installed", "half-configured", "unpacked", "half-installed",
                               "triggers-awaited", "triggers-pending"}) {
        if (state == onDisk) {
            return true;
        }
    }
    return false;
}
} // namespace

// Throws the error, or with `skipped` counts it and marks the stanza to be left out.
void PackagesParser::fail(const ParseError &error, PackageStanza &stanza, SkippedEntries *skipped)
{
    if (!skipped) {
        throw error;
    }
    if (!stanza.bad) {
        skipped->note(error);
    }
    stanza.bad = true;
}

void PackagesParser::parse(LineReader &reader, Mode mode, const Callback &callback,
                           SkippedEntries *skipped)
{
    PackageStanza stanza;
    std::string_view line;
    while (reader.next(line)) {
        if (isBlank(line)) {
            finishStanza(reader, mode, stanza, callback, skipped);
            continue;
        }
        if (stanza.line == 0) {
            stanza.line = reader.lineNumber();
        }
        if (line.front() == ' ' || line.front() == '\t') {
            continue; // continuation of a multi-line field
        }
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            fail(ParseError(reader.name(), reader.lineNumber(),
                            "not a \"Field: value\" line: not a Packages/status file,"
                            " or an unknown format"),
                 stanza, skipped);
            continue;
        }
        const std::string_view field = line.substr(0, colon);
        const std::string_view value = trim(line.substr(colon + 1));
        noteField(reader, field, stanza, skipped);
        if (fieldIs(field, "Package")) {
            stanza.package.assign(value);
        } else if (fieldIs(field, "Version")) {
            stanza.version.assign(value);
            stanza.versionLine = reader.lineNumber();
        }
        else if (fieldIs(field, "Architecture")) {
            stanza.architecture.assign(value);
        } else if (fieldIs(field, "Status")) {
            stanza.status.assign(value);
        } else if (fieldIs(field, "Description")) {
            stanza.summary.assign(value); // the synopsis; the long text follows on continuation lines
        } else if (fieldIs(field, "Section")) {
            stanza.section.assign(value);
        }
    }
    finishStanza(reader, mode, stanza, callback, skipped);
}

void PackagesParser::noteField(const LineReader &reader, std::string_view field,
                               PackageStanza &stanza, SkippedEntries *skipped)
{
    for (const std::string &seen : stanza.fields) {
        if (fieldIs(field, seen.c_str())) {
            fail(ParseError(reader.name(), reader.lineNumber(),
                            "malformed stanza: field " + std::string(field)
                                + " given twice (a missing blank line between two stanzas?)"),
                 stanza, skipped);
            return;
        }
    }
    stanza.fields.emplace_back(field);
}

void PackagesParser::finishStanza(const LineReader &reader, Mode mode, PackageStanza &stanza,
                                  const Callback &callback, SkippedEntries *skipped)
{
    if (stanza.line == 0) {
        return; // only blank lines so far
    }
    const bool wanted = mode == Mode::Packages || filesOnDisk(stanza.status);
    if (wanted && !stanza.bad) {
        const char *missing = stanza.package.empty()        ? "Package"
                              : stanza.version.empty()      ? "Version"
                              : stanza.architecture.empty() ? "Architecture"
                                                            : nullptr;
        if (missing) {
            fail(ParseError(reader.name(), stanza.line,
                            std::string("malformed stanza: no ") + missing + " field"),
                 stanza, skipped);
        } else if (DebianVersion::split(stanza.version).upstream.empty()) {
            fail(ParseError(reader.name(), stanza.versionLine,
                            "malformed stanza: version \"" + stanza.version
                                + "\" has no upstream part"),
                 stanza, skipped);
        // dpkg refuses a "-" with no revision after it ("1.0-").
        } else if (stanza.version.back() == '-') {
            fail(ParseError(reader.name(), stanza.versionLine,
                            "malformed stanza: version \"" + stanza.version
                                + "\" has an empty revision"),
                 stanza, skipped);
        } else if ((stanza.package + stanza.architecture).find('/') != std::string::npos) {
            fail(ParseError(reader.name(), stanza.line,
                            "malformed stanza: '/' in the package name or architecture"),
                 stanza, skipped);
        }
        if (!stanza.bad) {
            callback(stanza);
        }
    }
    stanza.package.clear();
    stanza.version.clear();
    stanza.architecture.clear();
    stanza.status.clear();
    stanza.summary.clear();
    stanza.section.clear();
    stanza.fields.clear();
    stanza.line = 0;
    stanza.versionLine = 0;
    stanza.bad = false;
}
