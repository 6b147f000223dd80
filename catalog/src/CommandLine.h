#pragma once

#include "BuildOptions.h"
#include "MachineCatalogue.h"

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
    std::vector<std::string> listFolders; // --apt-lists folders, watched for freshness

    static CommandLine parse(int argc, char **argv);
    static std::string usage();

private:
    struct Option;
    static const std::vector<Option> &options();
    void finish();
    void finishMachineCatalogue();
    void addAptLists(const std::string &dir);
    void setDpkgAdmin(const std::string &dir);

    std::string m_dpkgInfo; // --dpkg-info, applied once every option is read
};
