// quorvi-catalog: builds a Quorvi package catalogue (SQLite) from Packages,
// Contents, RPM repodata and dpkg status sources.

#include "atomicoutput.h"
#include "cataloguebuilder.h"
#include "cataloguefreshness.h"
#include "commandline.h"
#include "phasegate.h"
#include "progress.h"
#include "sqlitedb.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <cataloguepaths.h>

namespace {
void printSummary(const CatalogueBuilder &builder, const std::string &output, double seconds)
{
    const CatalogueBuilder::Stats &stats = builder.stats();
    if (stats.droppedEntries > 0) {
        std::printf("quorvi-catalog: %llu file entries named packages not in the catalogue "
                    "and were left out\n",
                    static_cast<unsigned long long>(stats.droppedEntries));
    }
    if (stats.headerLines > 0) {
        std::printf("quorvi-catalog: %llu lines before a Contents header (\"FILE  LOCATION\")"
                    " were skipped as that header\n",
                    static_cast<unsigned long long>(stats.headerLines));
    }
    if (stats.missingLists > 0) {
        std::printf("quorvi-catalog: %llu installed packages have no dpkg file list\n",
                    static_cast<unsigned long long>(stats.missingLists));
    }
    if (stats.directoriesOnDisk > 0) {
        std::printf("quorvi-catalog: %llu dpkg file-list entries are directories on this system "
                    "and were left out\n",
                    static_cast<unsigned long long>(stats.directoriesOnDisk));
    }
    if (stats.badNames > 0) {
        std::printf("quorvi-catalog: %llu packages whose names break their package manager's rule"
                    " were left out\n",
                    static_cast<unsigned long long>(stats.badNames));
    }
    for (const auto &[list, skipped] : stats.skipped)
        std::printf("quorvi-catalog: %s: %llu bad stanzas or lines skipped; the first: %s\n",
                    list.c_str(), static_cast<unsigned long long>(skipped.count),
                    skipped.first.c_str());
    for (const std::string &why : stats.leftOut)
        std::printf("quorvi-catalog: list left out: %s\n", why.c_str());
    // The summary is the last line, for scripts that read it with tail -n 1.
    std::printf("quorvi-catalog: %zu packages, %zu files in %.1f s, %llu bytes written to %s\n",
                builder.packages().size(), size_t(builder.files().linkCount()), seconds,
                static_cast<unsigned long long>(CataloguePaths::fileSize(output)), output.c_str());
}
// --system and --user: make the folder and take the lock. Returns false when another
// build holds the lock and --no-wait says not to wait for it.
bool lockMachineCatalogue(const CommandLine &cl)
{
    MachineCatalogue::makeFolderFor(cl.output, cl.machine);
    if (MachineCatalogue::lockUntilExit(cl.output, !cl.noWait)) {
        return true;
    }
    // The running build looks for the mark after its rename; one that ended before the
    // mark was made has let go of the lock, and this run builds instead.
    MachineCatalogue::markRebuild(cl.output);
    if (MachineCatalogue::lockUntilExit(cl.output, false)) {
        MachineCatalogue::takeRebuildMark(cl.output);
        return true;
    }
    std::printf("quorvi-catalog: another build of %s is running; it builds again when it is done,"
                " to read any change\n",
                cl.output.c_str());
    return false;
}

// --system and --user skip a build whose inputs have not changed.
bool machineCatalogueIsCurrent(const CommandLine &cl)
{
    if (cl.force
        || !CatalogueFreshness::isUpToDate(
            cl.output, CatalogueFreshness::inputsOf(cl.build, cl.listFolders), cl.build)) {
        return false;
    }
    std::printf("quorvi-catalog: %s is up to date: newer than every input, from the same sources"
                " and options; nothing to do (--force builds it anew)\n",
                cl.output.c_str());
    return true;
}

// Tells the next --system or --user run which sources and options made the catalogue.
void recordBuild(const std::string &catalogue, const BuildOptions &build)
{
    SqliteDb db(catalogue);
    db.exec("PRAGMA journal_mode=OFF"); // a private temporary until the rename
    CatalogueFreshness::record(db, build);
    db.close();
}


// One build from the sources as they are now (the lists folders are read here); false
// when the machine's catalogue was current and nothing was built.
bool buildOnce(CommandLine cl, Progress &progress, std::unique_ptr<CatalogueBuilder> &builder)
{
    const bool machine = cl.machine != MachineCatalogue::Kind::None;
    // The catalogue is dated by the moment its inputs are looked at, after any wait
    // for another build: an input that changes from here on leaves it stale.
    const timespec started = CatalogueFreshness::now();
    cl.readListFolders();
    if (machine && machineCatalogueIsCurrent(cl)) {
        return false;
    }
    AtomicOutput::checkTarget(cl.output);
    builder = std::make_unique<CatalogueBuilder>(progress);
    builder->checkInputs(cl.build, cl.output);
    AtomicOutput output(cl.output);
    PhaseGate::reached("temporary file created");
    builder->build(cl.build, output.tempPath());
    if (machine) {
        recordBuild(output.tempPath(), cl.build);
    }
    // Dated before the rename: a build killed right after it leaves a catalogue that
    // counts as made when its inputs were looked at, so a change since is not lost.
    if (machine) {
        CatalogueFreshness::stamp(output.tempPath(), started);
    }
    PhaseGate::reached("written");
    output.commit();
    PhaseGate::reached("renamed");
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
    const bool machine = cl.machine != MachineCatalogue::Kind::None;
    Progress progress(!cl.quiet && isatty(STDERR_FILENO) && cl.progressFd < 0, cl.progressFd);
    std::unique_ptr<CatalogueBuilder> builder;
    try {
        PhaseGate::reached("started");
        if (machine && !lockMachineCatalogue(cl)) {
            return 0;
        }
        bool built = buildOnce(cl, progress, builder);
        // A run that found the lock held meanwhile asked for another pass.
        while (machine && MachineCatalogue::takeRebuildMark(cl.output)) {
            std::printf("quorvi-catalog: another run asked for a build while this one ran;"
                        " building again\n");
            built = buildOnce(cl, progress, builder) || built;
        }
        if (!built) {
            return 0;
        }
    } catch (const std::exception &e) {
        progress.end();
        std::fprintf(stderr, "quorvi-catalog: %s\n", e.what());
        return 1;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    printSummary(*builder, cl.output, elapsed.count());
    // The catalogue is in place. Skip tearing down the builder's tens of
    // millions of small allocations; the OS reclaims them.
    std::fflush(stdout);
    std::_Exit(0);
}
