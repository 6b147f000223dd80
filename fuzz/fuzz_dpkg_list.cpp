// Fuzz target: a dpkg info/<package>.list file through LineReader +
// DpkgFileList (directories are recognised by entries beneath them).
#include "fuzzsupport.h"

#include "dpkgfilelist.h"
#include "linereader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::parseBothWays("pkg.list", data, size, fuzz::Agreement::Exact,
                        [](ByteSource &source, size_t block, fuzz::Trace &trace) {
        LineReader reader(source, block);
        const std::vector<std::string> list = DpkgFileList::readFiles(reader);
        for (const std::string &path : list) {
            if (path.empty()) {
                fuzz::fail("empty path in a dpkg file list result", std::string());
            }
            trace.field(path);
            trace.end();
        }
    });
    return 0;
}
