// Fuzz target: repodata/repomd.xml through SourceDevice + RepomdParser.
#include "fuzzsupport.h"

#include "repomdparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::parseBothWays("repomd.xml", data, size, fuzz::Agreement::Verdict,
                        [](ByteSource &source, size_t, fuzz::Trace &trace) {
        const RepomdParser::Locations where = RepomdParser::parse(source);
        if (where.primary.empty()) {
            fuzz::fail("repomd.xml accepted without a primary location", where.filelists);
        }
        trace.field(where.primary);
        trace.field(where.filelists);
        trace.end();
    });
    return 0;
}
