#include "CatalogBuilder.h"

#include "ArchiveSource.h"
#include "CatalogWriter.h"
#include "ContentsParser.h"
#include "DebianVersion.h"
#include "DpkgFileList.h"
#include "FtsSideBuilder.h"
#include "LineReader.h"
#include "PackagesParser.h"
#include "ParseError.h"
#include "PhaseGate.h"
#include "Progress.h"
#include "RepomdParser.h"
#include "RpmFilelistsParser.h"
#include "RpmPrimaryParser.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
uint64_t fileSize(const std::string &path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

bool isFile(const std::string &path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void requireReadable(const std::string &path)
{
    if (access(path.c_str(), R_OK) != 0)
        throw ParseError(path, 0, std::string("cannot read: ") + std::strerror(errno));
}
} // namespace

CatalogBuilder::CatalogBuilder(Progress &progress) : m_progress(progress) {}

CatalogBuilder::~CatalogBuilder() = default;

void CatalogBuilder::build(const BuildOptions &options, const std::string &outputPath)
{
    checkReadable(options);
    m_packages = PackageIndex(!options.allVersions);
    PhaseGate::reached("reading packages");
    for (const std::string &path : options.packages)
        readPackages(path);
    if (!options.dpkgStatus.empty())
        readDpkgStatus(options.dpkgStatus);
    for (const std::string &dir : options.repodata)
        readRepodataPackages(dir);

    bool hasFileLists = !options.contents.empty() || !options.dpkgStatus.empty();
    for (const Repo &repo : m_repos)
        hasFileLists = hasFileLists || !repo.filelists.empty();
    if (hasFileLists) {
        startFullTextIndexes();
        PhaseGate::reached("reading file lists");
    }
    for (const std::string &path : options.contents)
        readContents(path);
    for (const Repo &repo : m_repos)
        readRepodataFiles(repo);
    if (!options.dpkgStatus.empty())
        readDpkgLists(options.dpkgInfo);

    if (m_fts)
        m_fts->finishInput();
    m_files.finish();
    CatalogWriter::write(outputPath, m_packages, hasFileLists ? &m_files : nullptr, m_fts.get(),
                         [this](const char *step, int index, int count) {
                             PhaseGate::reached((std::string("writing ") + step).c_str());
                             m_progress.begin(std::string("writing ") + step, uint64_t(count),
                                              uint64_t(index));
                         });
    m_progress.end();
}

// The trigram indexes are filled on a second thread from the moment the
// first name is interned, alongside the parsing.
void CatalogBuilder::startFullTextIndexes()
{
    m_fts = std::make_unique<FtsSideBuilder>();
    FtsSideBuilder *fts = m_fts.get();
    m_files.setListener([fts](bool isDir, uint32_t id, std::string_view text) {
        if (isDir)
            fts->addDir(id, text);
        else
            fts->addName(id, text);
    });
}

// Fails early, before minutes of parsing, when an input cannot be read at all.
void CatalogBuilder::checkReadable(const BuildOptions &options)
{
    for (const auto *list : {&options.packages, &options.contents, &options.repodata}) {
        for (const std::string &path : *list)
            requireReadable(path);
    }
    if (!options.dpkgStatus.empty())
        requireReadable(options.dpkgStatus);
}

// Opens an input with the progress bar following how much of it has been read.
std::unique_ptr<ArchiveSource> CatalogBuilder::openTracked(const std::string &path)
{
    m_progress.begin(path, fileSize(path));
    return std::make_unique<ArchiveSource>(path, [this](uint64_t done) { m_progress.update(done); });
}

void CatalogBuilder::readPackages(const std::string &path)
{
    const std::unique_ptr<ArchiveSource> source = openTracked(path);
    LineReader reader(*source);
    PackagesParser::parse(reader, PackagesParser::Mode::Packages,
                          [this](const PackageStanza &stanza) {
                              const DebianVersion v = DebianVersion::split(stanza.version);
                              m_packages.add(stanza.package, v.upstream, v.revision,
                                             stanza.architecture, VersionScheme::Debian,
                                             stanza.version);
                          });
}

void CatalogBuilder::readDpkgStatus(const std::string &path)
{
    const std::unique_ptr<ArchiveSource> source = openTracked(path);
    LineReader reader(*source);
    PackagesParser::parse(reader, PackagesParser::Mode::DpkgStatus,
                          [this](const PackageStanza &stanza) {
                              const DebianVersion v = DebianVersion::split(stanza.version);
                              const uint32_t id = m_packages.add(
                                  stanza.package, v.upstream, v.revision, stanza.architecture,
                                  VersionScheme::Debian, stanza.version);
                              m_installed.push_back({id, stanza.package, stanza.architecture});
                          });
}

void CatalogBuilder::readContents(const std::string &path)
{
    const std::unique_ptr<ArchiveSource> source = openTracked(path);
    LineReader reader(*source);
    ContentsParser::parse(reader, [this](std::string_view filePath, std::string_view location) {
        FileIndex::PathIds ids;
        bool interned = false;
        ContentsParser::forEachPackage(location, [&](std::string_view name) {
            const std::vector<uint32_t> *pkgs = m_packages.idsNamed(name);
            if (!pkgs) {
                ++m_stats.droppedEntries;
                return;
            }
            if (!interned && !m_files.intern(filePath, ids))
                return;
            interned = true;
            for (uint32_t pkg : *pkgs)
                m_files.link(pkg, ids);
        });
    });
}

void CatalogBuilder::readRepodataPackages(const std::string &dir)
{
    // Accept either the repository root or its repodata/ folder.
    Repo repo{dir, {}};
    if (!isFile(dir + "/repodata/repomd.xml") && isFile(dir + "/repomd.xml"))
        repo.root = dir + "/..";
    const std::string repomdPath = repo.root + "/repodata/repomd.xml";
    requireReadable(repomdPath);
    ArchiveSource repomd(repomdPath);
    const RepomdParser::Locations where = RepomdParser::parse(repomd);
    if (!where.filelists.empty())
        repo.filelists = repo.root + "/" + where.filelists;

    const std::string primaryPath = repo.root + "/" + where.primary;
    requireReadable(primaryPath);
    const std::unique_ptr<ArchiveSource> primary = openTracked(primaryPath);
    RpmPrimaryParser::parse(*primary, [this](const RpmPackage &p) {
        m_packages.add(p.name, p.ver, p.rel.empty() ? "0" : p.rel, p.arch, VersionScheme::Rpm,
                       VersionOrder::rpmEvr(p.epoch, p.ver, p.rel));
    });
    m_repos.push_back(std::move(repo));
}

void CatalogBuilder::readRepodataFiles(const Repo &repo)
{
    if (repo.filelists.empty())
        return;
    requireReadable(repo.filelists);
    const std::unique_ptr<ArchiveSource> source = openTracked(repo.filelists);
    RpmFilelistsParser::parse(*source, [this](const RpmPackage &p,
                                             const std::vector<std::string> &paths) {
        const uint32_t id = m_packages.find(p.name, p.ver, p.rel.empty() ? "0" : p.rel, p.arch);
        if (id != 0)
            addFiles(id, paths);
        else if (!m_packages.idsNamed(p.name))
            m_stats.droppedEntries += paths.size();
        // else: a version that a newer one of the same package replaced
    });
}

void CatalogBuilder::readDpkgLists(const std::string &infoDir)
{
    m_progress.begin(infoDir, m_installed.size());
    uint64_t done = 0;
    for (const Installed &pkg : m_installed) {
        m_progress.update(++done);
        std::string path = infoDir + "/" + pkg.name + ":" + pkg.arch + ".list";
        if (!isFile(path))
            path = infoDir + "/" + pkg.name + ".list";
        if (!isFile(path)) {
            ++m_stats.missingLists;
            continue;
        }
        ArchiveSource source(path);
        LineReader reader(source, 1 << 16);
        addFiles(pkg.id, DpkgFileList::readFiles(reader));
    }
}

void CatalogBuilder::addFiles(uint32_t pkg, const std::vector<std::string> &paths)
{
    FileIndex::PathIds ids;
    for (const std::string &path : paths) {
        if (m_files.intern(path, ids))
            m_files.link(pkg, ids);
    }
}
