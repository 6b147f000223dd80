// Fuzz target: a Debian Contents index through LineReader + ContentsParser,
// splitting each location list into package names the way the builder does.
// (Paths are not interned into a FileIndex here: each StringInterner zeroes
// a 4 MiB arena block on first use, which would cut the fuzzing rate ~50x.)
#include "fuzzsupport.h"

#include "contentsparser.h"
#include "linereader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::parseBothWays("Contents", data, size, fuzz::Agreement::Exact,
                        [](ByteSource &source, size_t block, fuzz::Trace &trace) {
        LineReader reader(source, block);
        ContentsParser::parse(reader, [&](std::string_view path, std::string_view location) {
            if (location.empty()) {
                fuzz::fail("Contents entry reported without a location", std::string(path));
            }
            trace.field(path);
            trace.field(location);
            ContentsParser::forEachPackage(location, [&](std::string_view name) {
                if (name.empty()) {
                    fuzz::fail("empty package name from a location list", std::string(location));
                }
                trace.field(name);
            });
            trace.end();
        });
    });
    return 0;
}
