// Fuzz target: a Debian Packages index through LineReader + PackagesParser,
// then the version split and package index the builder applies to each stanza.
#include "fuzzsupport.h"
#include "linereader.h"
#include "packageindex.h"
#include "stanzatrace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::parseBothWays("Packages", data, size, fuzz::Agreement::Exact,
                        [](ByteSource &source, size_t block, fuzz::Trace &trace) {
        LineReader reader(source, block);
        PackageIndex index;
        PackagesParser::parse(reader, PackagesParser::Mode::Packages,
                              [&](const PackageStanza &s) {
                                  const DebianVersion v = fuzz::traceStanza(s, trace);
                                  const uint32_t id =
                                      index.add(s.package, v.upstream, v.revision, s.architecture);
                                  if (id == 0
                                      || index.find(s.package, v.upstream, v.revision,
                                                    s.architecture)
                                             != id) {
                                      fuzz::fail("package index lost a stanza", s.package);
                                  }
                              });
    });
    return 0;
}
