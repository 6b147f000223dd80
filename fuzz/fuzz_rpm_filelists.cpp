// Fuzz target: a repodata filelists.xml through SourceDevice +
// RpmFilelistsParser.
#include "fuzzsupport.h"

#include "rpmfilelistsparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::parseBothWays("filelists.xml", data, size, fuzz::Agreement::Verdict,
                        [](ByteSource &source, size_t, fuzz::Trace &trace) {
        RpmFilelistsParser::parse(source, [&](const RpmPackage &p,
                                              const std::vector<std::string> &files) {
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
            for (const std::string &path : files)
                trace.field(path);
            trace.end();
        });
    });
    return 0;
}
