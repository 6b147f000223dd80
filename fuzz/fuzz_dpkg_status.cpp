// Fuzz target: a dpkg status file through LineReader + PackagesParser in
// DpkgStatus mode (only "install ok installed" stanzas are reported).
#include "FuzzSupport.h"

#include "DebianVersion.h"
#include "LineReader.h"
#include "PackagesParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::parseBothWays("status", data, size, fuzz::Agreement::Exact,
                        [](ByteSource &source, size_t block, fuzz::Trace &trace) {
        LineReader reader(source, block);
        PackagesParser::parse(reader, PackagesParser::Mode::DpkgStatus,
                              [&](const PackageStanza &s) {
                                  if (s.status != "install ok installed")
                                      fuzz::fail("stanza reported that is not installed", s.status);
                                  if (s.package.empty() || s.version.empty()
                                      || s.architecture.empty() || s.line == 0)
                                      fuzz::fail("stanza reported without its required fields",
                                                 s.package + " " + s.version);
                                  const DebianVersion v = DebianVersion::split(s.version);
                                  trace.field(s.package);
                                  trace.field(s.version);
                                  trace.field(s.architecture);
                                  trace.field(s.line);
                                  trace.field(v.upstream);
                                  trace.field(v.revision);
                                  trace.end();
                              });
    });
    return 0;
}
