// Fuzz target: a repodata primary.xml through SourceDevice + RpmPrimaryParser.
#include "fuzzsupport.h"

#include "rpmprimaryparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::parseBothWays("primary.xml", data, size, fuzz::Agreement::Verdict,
                        [](ByteSource &source, size_t, fuzz::Trace &trace) {
        RpmPrimaryParser::parse(source, [&](const RpmPackage &p) {
            if (p.name.empty() || p.ver.empty() || p.arch.empty()
                || (p.name + p.arch).find('/') != std::string::npos) {
                fuzz::fail("package reported without name, version or arch, or with a '/'",
                           p.name + " " + p.ver + " " + p.arch);
            }
            trace.field(p.name);
            trace.field(p.arch);
            trace.field(p.epoch);
            trace.field(p.ver);
            trace.field(p.rel);
            trace.end();
        });
    });
    return 0;
}
