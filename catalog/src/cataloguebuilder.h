#pragma once

#include "buildoptions.h"
#include "fileindex.h"
#include "inputfiles.h"
#include "packageindex.h"
#include "parseerror.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class ArchiveSource;
class LineReader;
class Progress;

// Reads every source of a build and writes the catalogue. All package
// sources are read before any file list, because a Contents entry belongs to
// every package of that name, whichever source listed it.
class CatalogueBuilder
{
public:
    struct Stats
    {
        uint64_t droppedEntries = 0; // file entries of packages not in the catalogue
        uint64_t missingLists = 0;   // installed packages without a dpkg .list file
        uint64_t headerLines = 0;    // Contents lines skipped as a header
        uint64_t directoriesOnDisk = 0; // .list entries left out as directories on disk
        uint64_t badNames = 0; // packages whose names break their package manager's rule
        // skipBadEntries: per list, what was skipped; and the lists left out, with why.
        std::vector<std::pair<std::string, SkippedEntries>> skipped;
        std::vector<std::string> leftOut;
    };

    explicit CatalogueBuilder(Progress &progress);
    ~CatalogueBuilder();

    // Fails early, before minutes of parsing, when an input cannot be read at
    // all or is the catalogue `target` itself (which no input of the build
    // may be, also those found later through repomd.xml or dpkg's info folder).
    void checkInputs(const BuildOptions &options, const std::string &target);
    void build(const BuildOptions &options, const std::string &outputPath);

    const PackageIndex &packages() const { return m_packages; }
    const FileIndex &files() const { return m_files; }
    const Stats &stats() const { return m_stats; }

private:
    struct Installed
    {
        uint32_t id;
        std::string name;
        std::string arch;
    };
    struct Repo
    {
        std::string root;
        std::string filelists;
    };

    std::unique_ptr<ArchiveSource> openTracked(const std::string &path,
                                               InputFiles::Rule rule = InputFiles::Rule::AsGiven);
    static std::string repoFile(const Repo &repo, const std::string &href,
                                const std::string &repomdPath);
    void readPackages(const std::string &path);
    void readDpkgStatus(const std::string &path);
    void readRepodataPackages(const std::string &dir);
    void readRpmDatabase(const std::string &root);
    void readContents(const std::string &path);
    void readRepodataFiles(const Repo &repo);
    void readDpkgLists(const std::string &infoDir, bool onThisSystem);
    void dropDirectoriesOnDisk(std::vector<std::string> &paths);
    void addFiles(uint32_t pkg, const std::vector<std::string> &paths);
    bool acceptName(std::string_view name, VersionScheme scheme);
    template<typename Read>
    void readList(const std::string &path, Read read);
    void checkList(const std::string &path, bool regularFile);
    SkippedEntries *skippedOf(LineReader &reader);
    void finishList(const LineReader &reader);

    Progress &m_progress;
    InputFiles m_inputs;
    PackageIndex m_packages;
    FileIndex m_files;
    Stats m_stats;
    bool m_skipBad = false;
    std::vector<std::string> m_unreadable; // lists that checkInputs left out
    SkippedEntries m_current; // what the list being read has skipped so far
    std::vector<Installed> m_installed;
    std::vector<Repo> m_repos;
    // Files of packages read from RPM databases, added once the file lists are read.
    std::vector<std::pair<uint32_t, std::vector<std::string>>> m_rpmdbFiles;
};
