#pragma once

#include "buildoptions.h"
#include "machinecatalogue.h"

#include <stdexcept>
#include <string>
#include <vector>

// Parses the quorvi-catalog command line. Throws UsageError for anything
// the user must fix before a build can start.
class CommandLine
{
public:
    struct UsageError : std::runtime_error
    {
        using std::runtime_error::runtime_error;
    };

    BuildOptions build;
    std::string output;
    bool quiet = false;
    bool help = false;
    MachineCatalogue::Kind machine = MachineCatalogue::Kind::None; // --system, --user
    bool force = false;                                            // --force
    bool noWait = false;                                           // --no-wait
    int progressFd = -1;                                           // --progress-fd
    std::vector<std::string> listFolders; // --apt-lists folders, watched for freshness

    static CommandLine parse(int argc, char **argv);

    // Adds the indexes found in the --apt-lists folders to the sources, where the
    // options named them. Runs once the build holds its lock, so that a list that
    // arrives while it waits is read. Throws std::runtime_error when a folder cannot
    // be read or the build is then left without any source.
    void readListFolders();
    static std::string usage();

private:
    struct Option;
    static const std::vector<Option> &options();
    void finish();
    void finishMachineCatalogue();
    void addAptLists(const std::string &dir);
    void setDpkgAdmin(const std::string &dir);

    std::string m_dpkgInfo; // --dpkg-info, applied once every option is read
    // An --apt-lists folder and where its indexes go among the other sources.
    struct ListFolder
    {
        std::string dir;
        size_t packagesAt;
        size_t contentsAt;
    };
    std::vector<ListFolder> m_listFolders;
};
