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

void PackagesParser::parse(LineReader &reader, Mode mode, const Callback &callback)
{
    PackageStanza stanza;
    std::string_view line;
    while (reader.next(line)) {
        if (isBlank(line)) {
            finishStanza(reader, mode, stanza, callback);
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
            throw ParseError(reader.name(), reader.lineNumber(),
                             "not a \"Field: value\" line: not a Packages/status file,"
                             " or an unknown format");
        }
        const std::string_view field = line.substr(0, colon);
        const std::string_view value = trim(line.substr(colon + 1));
        noteField(reader, field, stanza);
        if (fieldIs(field, "Package")) {
            stanza.package.assign(value);
        } else if (fieldIs(field, "Version")) {
            stanza.version.assign(value);
            stanza.versionLine = reader.lineNumber();
        }
        else if (fieldIs(field, "Architecture")) {
            stanza.architecture.assign(value);
        
        }else if (fieldIs(field, "Status")) {
            stanza.status.assign(value);
        
        }else if (fieldIs(field, "Description")) {
            stanza.summary.assign(value); // the synopsis; the long text follows on continuation lines
        
        }else if (fieldIs(field, "Section")) {
            stanza.section.assign(value);
        }
    }
    finishStanza(reader, mode, stanza, callback);
}

void PackagesParser::noteField(const LineReader &reader, std::string_view field,
                               PackageStanza &stanza)
{
    for (const std::string &seen : stanza.fields) {
        if (fieldIs(field, seen.c_str())) {
            throw ParseError(reader.name(), reader.lineNumber(),
                             "malformed stanza: field " + std::string(field)
                                 + " given twice (a missing blank line between two stanzas?)");
        }
    }
    stanza.fields.emplace_back(field);
}

void PackagesParser::finishStanza(const LineReader &reader, Mode mode, PackageStanza &stanza,
                                  const Callback &callback)
{
    if (stanza.line == 0) {
        return; // only blank lines so far
    }
    const bool wanted = mode == Mode::Packages || filesOnDisk(stanza.status);
    if (wanted) {
        const char *missing = stanza.package.empty()        ? "Package"
                              : stanza.version.empty()      ? "Version"
                              : stanza.architecture.empty() ? "Architecture"
                                                            : nullptr;
        if (missing) {
            throw ParseError(reader.name(), stanza.line,
                             std::string("malformed stanza: no ") + missing + " field");
        }
        if (DebianVersion::split(stanza.version).upstream.empty()) {
            throw ParseError(reader.name(), stanza.versionLine,
                             "malformed stanza: version \"" + stanza.version
                                 + "\" has no upstream part");
        }
        // dpkg refuses a "-" with no revision after it ("1.0-").
        if (stanza.version.back() == '-') {
            throw ParseError(reader.name(), stanza.versionLine,
                             "malformed stanza: version \"" + stanza.version
                                 + "\" has an empty revision");
        }
        if ((stanza.package + stanza.architecture).find('/') != std::string::npos) {
            throw ParseError(reader.name(), stanza.line,
                             "malformed stanza: '/' in the package name or architecture");
        }
        callback(stanza);
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
}
