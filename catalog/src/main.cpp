// quorvi-catalog: builds a Quorvi package catalogue (SQLite) from Packages,
// Contents, RPM repodata and dpkg status sources.

#include "AtomicOutput.h"
#include "CatalogBuilder.h"
#include "CatalogueFreshness.h"
#include "CommandLine.h"
#include "PhaseGate.h"
#include "Progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {
uint64_t fileSize(const std::string &path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

void printSummary(const CatalogBuilder &builder, const std::string &output, double seconds)
{
    const CatalogBuilder::Stats &stats = builder.stats();
    if (stats.droppedEntries > 0)
        std::printf("quorvi-catalog: %llu file entries named packages not in the catalogue "
                    "and were left out\n",
                    static_cast<unsigned long long>(stats.droppedEntries));
    if (stats.headerLines > 0)
        std::printf("quorvi-catalog: %llu lines before a Contents header (\"FILE  LOCATION\")"
                    " were skipped as that header\n",
                    static_cast<unsigned long long>(stats.headerLines));
    if (stats.missingLists > 0)
        std::printf("quorvi-catalog: %llu installed packages have no dpkg file list\n",
                    static_cast<unsigned long long>(stats.missingLists));
    if (stats.directoriesOnDisk > 0)
        std::printf("quorvi-catalog: %llu dpkg file-list entries are directories on this system "
                    "and were left out\n",
                    static_cast<unsigned long long>(stats.directoriesOnDisk));
    // The summary is the last line, for scripts that read it with tail -n 1.
    std::printf("quorvi-catalog: %zu packages, %zu files in %.1f s, %llu bytes written to %s\n",
                builder.packages().size(), builder.files().links().size(), seconds,
                static_cast<unsigned long long>(fileSize(output)), output.c_str());
}
// --system and --user: make the folder, and skip a build whose inputs have not changed.
// Returns true when there is nothing to build.
bool machineCatalogueIsCurrent(const CommandLine &cl)
{
    MachineCatalogue::makeFolderFor(cl.output, cl.machine);
    MachineCatalogue::lockUntilExit(cl.output);
    if (cl.force || !CatalogueFreshness::isUpToDate(
                        cl.output, CatalogueFreshness::inputsOf(cl.build, cl.listFolders)))
        return false;
    std::printf("quorvi-catalog: %s is newer than every input; nothing to do (--force builds it anew)\n",
                cl.output.c_str());
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    CommandLine cl;
    try {
        cl = CommandLine::parse(argc, argv);
    } catch (const CommandLine::UsageError &e) {
        std::fprintf(stderr, "quorvi-catalog: %s\n%s", e.what(), CommandLine::usage().c_str());
        return 2;
    }
    if (cl.help) {
        std::fputs(CommandLine::usage().c_str(), stdout);
        return 0;
    }
    const auto start = std::chrono::steady_clock::now();
    timespec started = CatalogueFreshness::now();
    Progress progress(!cl.quiet && isatty(STDERR_FILENO));
    CatalogBuilder builder(progress);
    try {
        PhaseGate::reached("started");
        if (cl.machine != MachineCatalogue::Kind::None) {
            if (machineCatalogueIsCurrent(cl))
                return 0;
            started = CatalogueFreshness::now(); // after any wait for another build
        }
        AtomicOutput::checkTarget(cl.output);
        builder.checkInputs(cl.build, cl.output);
        AtomicOutput output(cl.output);
        PhaseGate::reached("temporary file created");
        builder.build(cl.build, output.tempPath());
        PhaseGate::reached("written");
        output.commit();
        PhaseGate::reached("renamed");
        if (cl.machine != MachineCatalogue::Kind::None)
            CatalogueFreshness::stamp(cl.output, started);
    } catch (const std::exception &e) {
        progress.end();
        std::fprintf(stderr, "quorvi-catalog: %s\n", e.what());
        return 1;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    printSummary(builder, cl.output, elapsed.count());
    // The catalogue is in place. Skip tearing down the builder's tens of
    // millions of small allocations; the OS reclaims them.
    std::fflush(stdout);
    std::_Exit(0);
}
