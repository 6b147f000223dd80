// Fuzz target: a dpkg status file through LineReader + PackagesParser in
// DpkgStatus mode (only "install ok installed" stanzas are reported).
#include "fuzzsupport.h"
#include "linereader.h"
#include "stanzatrace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::parseBothWays("status", data, size, fuzz::Agreement::Exact,
                        [](ByteSource &source, size_t block, fuzz::Trace &trace) {
        LineReader reader(source, block);
        PackagesParser::parse(reader, PackagesParser::Mode::DpkgStatus,
                              [&](const PackageStanza &s) {
                                  // Reported: packages whose files are on disk, by
                                  // the last word of Status.
                                  const std::string state = s.status.substr(
                                      s.status.find_last_of(" \t") + 1);
                                  if (state != "installed" && state != "half-configured"
                                      && state != "unpacked" && state != "half-installed"
                                      && state != "triggers-awaited" && state != "triggers-pending") {
                                      fuzz::fail("stanza reported without its files on disk", s.status);
                                  }
                                  fuzz::traceStanza(s, trace);
                              });
    });
    return 0;
}
