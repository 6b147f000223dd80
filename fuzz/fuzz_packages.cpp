// Fuzz target: a Debian Packages index through LineReader + PackagesParser,
// then the version split and package index the builder applies to each stanza.
#include "FuzzSupport.h"

#include "DebianVersion.h"
#include "LineReader.h"
#include "PackageIndex.h"
#include "PackagesParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::parseBothWays("Packages", data, size, fuzz::Agreement::Exact,
                        [](ByteSource &source, size_t block, fuzz::Trace &trace) {
        LineReader reader(source, block);
        PackageIndex index;
        PackagesParser::parse(reader, PackagesParser::Mode::Packages,
                              [&](const PackageStanza &s) {
                                  if (s.package.empty() || s.version.empty()
                                      || s.architecture.empty() || s.line == 0)
                                      fuzz::fail("stanza reported without its required fields",
                                                 s.package + " " + s.version);
                                  const DebianVersion v = DebianVersion::split(s.version);
                                  const uint32_t id =
                                      index.add(s.package, v.upstream, v.revision, s.architecture);
                                  if (id == 0
                                      || index.find(s.package, v.upstream, v.revision,
                                                    s.architecture)
                                             != id)
                                      fuzz::fail("package index lost a stanza", s.package);
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
