// Fuzz target: a dpkg status file through LineReader + PackagesParser in
// DpkgStatus mode (only "install ok installed" stanzas are reported).
#include "FuzzSupport.h"
#include "LineReader.h"
#include "StanzaTrace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::parseBothWays("status", data, size, fuzz::Agreement::Exact,
                        [](ByteSource &source, size_t block, fuzz::Trace &trace) {
        LineReader reader(source, block);
        PackagesParser::parse(reader, PackagesParser::Mode::DpkgStatus,
                              [&](const PackageStanza &s) {
                                  if (s.status != "install ok installed")
                                      fuzz::fail("stanza reported that is not installed", s.status);
                                  fuzz::traceStanza(s, trace);
                              });
    });
    return 0;
}
