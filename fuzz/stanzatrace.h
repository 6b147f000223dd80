#pragma once

// What both stanza-based targets (Packages and dpkg status) check and record
// for each stanza the parser reports.

#include "debianversion.h"
#include "fuzzsupport.h"
#include "packagesparser.h"

namespace fuzz {

// Fails on a stanza without its required fields, records the stanza and its
// version split in the trace, and returns that split.
inline DebianVersion traceStanza(const PackageStanza &s, Trace &trace)
{
    if (s.package.empty() || s.version.empty() || s.architecture.empty() || s.line == 0) {
        fail("stanza reported without its required fields", s.package + " " + s.version);
    }
    const DebianVersion v = DebianVersion::split(s.version);
    if (v.upstream.empty() || (s.package + s.architecture).find('/') != std::string::npos) {
        fail("stanza reported with an empty upstream version or a '/' in its name",
             s.package + " " + s.version + " " + s.architecture);
    }
    trace.field(s.package);
    trace.field(s.version);
    trace.field(s.architecture);
    trace.field(s.line);
    trace.field(v.upstream);
    trace.field(v.revision);
    trace.end();
    return v;
}

} // namespace fuzz
