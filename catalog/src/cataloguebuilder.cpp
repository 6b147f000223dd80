#include "cataloguebuilder.h"

#include "archivesource.h"
#include "cataloguewriter.h"
#include "contentsparser.h"
#include "debianversion.h"
#include "dpkgfilelist.h"
#include "linereader.h"
#include "packagesparser.h"
#include "parseerror.h"
#include "phasegate.h"
#include "progress.h"
#include "repomdparser.h"
#include "rpmdatabase.h"
#include "rpmfilelistsparser.h"
#include "rpmprimaryparser.h"

#include <cataloguepaths.h>
#include <packagenamerule.h>

#include <sys/stat.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {
// Whether anything (a file, a link, ...) has that name; links are not followed.
bool exists(const std::string &path)
{
    struct stat st = {};
    return lstat(path.c_str(), &st) == 0;
}

void requireReadable(const std::string &path)
{
    if (access(path.c_str(), R_OK) != 0) {
        throw ParseError(path, 0, std::string("cannot read: ") + std::strerror(errno));
    }
}

bool hasParentStep(const std::string &path)
{
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find('/', start);
        if (path.compare(start, slash == std::string::npos ? std::string::npos : slash - start,
                         "..")
            == 0) {
            return true;
        }
        if (slash == std::string::npos) {
            return false;
        }
        start = slash + 1;
    }
}
} // namespace

CatalogueBuilder::CatalogueBuilder(Progress &progress) : m_progress(progress) {}

CatalogueBuilder::~CatalogueBuilder() = default;

void CatalogueBuilder::build(const BuildOptions &options, const std::string &outputPath)
{
#ifdef __GLIBC__
    // Every large buffer (text blocks, link runs, sort keys) gets pages of its own that
    // go back to the system when it is freed: glibc would otherwise raise this bound to
    // the largest buffer freed so far and keep later ones in its heap, where what the
    // writer frees between its steps stays resident.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    m_packages = PackageIndex(!options.allVersions);
    m_skipBad = options.skipBadEntries;
    PhaseGate::reached("reading packages");
    for (const std::string &path : options.packages)
        readList(path, [&] { readPackages(path); });
    if (!options.dpkgStatus.empty()) {
        readList(options.dpkgStatus, [&] { readDpkgStatus(options.dpkgStatus); });
    }
    for (const std::string &dir : options.repodata)
        readList(dir, [&] { readRepodataPackages(dir); });
    for (const std::string &root : options.rpmdbRoots)
        readRpmDatabase(root);

    bool hasFileLists = !options.contents.empty() || !options.dpkgStatus.empty()
                        || !options.rpmdbRoots.empty();
    for (const Repo &repo : m_repos)
        hasFileLists = hasFileLists || !repo.filelists.empty();
    if (hasFileLists) {
        // The links wait in a temporary file beside the catalogue until it is written.
        m_files.links().spillTo(CataloguePaths::dirOf(outputPath));
        PhaseGate::reached("reading file lists");
    }
    for (const std::string &path : options.contents)
        readList(path, [&] { readContents(path); });
    for (const Repo &repo : m_repos)
        readList(repo.filelists, [&] { readRepodataFiles(repo); });
    if (!options.dpkgStatus.empty()) {
        readDpkgLists(options.dpkgInfo, options.dpkgOnThisSystem);
    }
    for (const auto &[id, paths] : m_rpmdbFiles)
        addFiles(id, paths);
    m_rpmdbFiles.clear();

    // The writer finishes the file lists (sorts the names) once the package rows are
    // written and freed; the lookups go now.
    m_files.endInput();
    CatalogueWriter::write(outputPath, m_packages, hasFileLists ? &m_files : nullptr,
                         [this](const char *step, int index, int count) {
                             PhaseGate::reached((std::string("writing ") + step).c_str());
                             m_progress.begin(std::string("writing ") + step, uint64_t(count),
                                              uint64_t(index));
                         });
    m_progress.end();
}

void CatalogueBuilder::checkInputs(const BuildOptions &options, const std::string &target)
{
    m_inputs.refuse(target);
    m_skipBad = options.skipBadEntries;
    for (const auto *list : {&options.packages, &options.contents}) {
        for (const std::string &path : *list)
            checkList(path, true);
    }
    for (const std::string &dir : options.repodata)
        checkList(dir, false);
    if (!options.dpkgStatus.empty()) {
        checkList(options.dpkgStatus, true);
    }
}

// A list that cannot be read fails the build, or with skipBadEntries is left out.
void CatalogueBuilder::checkList(const std::string &path, bool regularFile)
{
    try {
        if (regularFile) {
            m_inputs.check(path);
        } else {
            requireReadable(path);
        }
    } catch (const ParseError &e) {
        if (!m_skipBad) {
            throw;
        }
        m_stats.leftOut.push_back(e.what());
        m_unreadable.push_back(path);
    }
}

// Reads one list. With skipBadEntries a list that fails part way is left out from there
// on (what was read of it stays), and what its parser skipped is kept for the log.
template<typename Read>
void CatalogueBuilder::readList(const std::string &path, Read read)
{
    if (!m_skipBad) {
        read();
        return;
    }
    if (std::find(m_unreadable.begin(), m_unreadable.end(), path) != m_unreadable.end()) {
        return;
    }
    m_current = SkippedEntries();
    try {
        read();
    } catch (const ParseError &e) {
        m_stats.leftOut.push_back(e.what());
    }
    if (m_current.count > 0) {
        m_stats.skipped.emplace_back(path, m_current);
    }
}

// Where the parser of a list counts what it skips: nowhere (it throws) for a strict build.
SkippedEntries *CatalogueBuilder::skippedOf(LineReader &reader)
{
    if (!m_skipBad) {
        return nullptr;
    }
    reader.skipLongLines();
    return &m_current;
}

void CatalogueBuilder::finishList(const LineReader &reader)
{
    if (reader.skippedLines() == 0) {
        return;
    }
    if (m_current.count == 0) {
        m_current.first = reader.name() + ": lines longer than 1 MiB";
    }
    m_current.count += reader.skippedLines();
}

// A name outside its package manager's rule could not be installed by it, and the
// finder would have to show it in a shell command: it is counted and left out.
bool CatalogueBuilder::acceptName(std::string_view name, VersionScheme scheme)
{
    const bool ok = scheme == VersionScheme::Rpm ? PackageNameRule::isRpmName(name)
                                                 : PackageNameRule::isDebianName(name);
    if (!ok) {
        ++m_stats.badNames;
    }
    return ok;
}

// Opens an input with the progress bar following how much of it has been read.
std::unique_ptr<ArchiveSource> CatalogueBuilder::openTracked(const std::string &path,
                                                           InputFiles::Rule rule)
{
    const int fd = m_inputs.open(path, rule);
    m_progress.begin(path, CataloguePaths::fileSize(path));
    return std::make_unique<ArchiveSource>(path, fd,
                                           [this](uint64_t done) { m_progress.update(done); });
}

// The file a repomd.xml location names. It must lie inside the repository:
// no absolute path, no "..", and no symbolic link leading out of it.
std::string CatalogueBuilder::repoFile(const Repo &repo, const std::string &href,
                                     const std::string &repomdPath)
{
    const std::string path = repo.root + "/" + href;
    const auto outside = [&] {
        return ParseError(repomdPath, 0, "location \"" + href + "\" lies outside the repository");
    };
    if (href.empty() || href.front() == '/' || hasParentStep(href)) {
        throw outside();
    }
    char *root = realpath(repo.root.c_str(), nullptr);
    char *file = realpath(path.c_str(), nullptr);
    const int error = errno;
    const std::string rootDir = root ? std::string(root) + "/" : std::string();
    const bool inside = root && file && std::strncmp(file, rootDir.c_str(), rootDir.size()) == 0;
    std::free(root);
    std::free(file);
    if (!inside && file == nullptr) {
        throw ParseError(path, 0, std::string("cannot read: ") + std::strerror(error));
    }
    if (!inside) {
        throw outside();
    }
    return path;
}

void CatalogueBuilder::readPackages(const std::string &path)
{
    const std::unique_ptr<ArchiveSource> source = openTracked(path);
    LineReader reader(*source);
    PackagesParser::parse(reader, PackagesParser::Mode::Packages,
                          [this](const PackageStanza &stanza) {
                              if (!acceptName(stanza.package, VersionScheme::Debian)) {
                                  return;
                              }
                              const DebianVersion v = DebianVersion::split(stanza.version);
                              m_packages.add(stanza.package, v.upstream, v.revision,
                                             stanza.architecture, VersionScheme::Debian,
                                             stanza.version, stanza.summary, stanza.section);
                          },
                          skippedOf(reader));
    finishList(reader);
}

void CatalogueBuilder::readDpkgStatus(const std::string &path)
{
    const std::unique_ptr<ArchiveSource> source = openTracked(path);
    LineReader reader(*source);
    PackagesParser::parse(reader, PackagesParser::Mode::DpkgStatus,
                          [this](const PackageStanza &stanza) {
                              if (!acceptName(stanza.package, VersionScheme::Debian)) {
                                  return;
                              }
                              const DebianVersion v = DebianVersion::split(stanza.version);
                              const uint32_t id = m_packages.add(
                                  stanza.package, v.upstream, v.revision, stanza.architecture,
                                  VersionScheme::Debian, stanza.version, stanza.summary,
                                  stanza.section);
                              m_installed.push_back({id, stanza.package, stanza.architecture});
                          },
                          skippedOf(reader));
    finishList(reader);
}

void CatalogueBuilder::readContents(const std::string &path)
{
    const std::unique_ptr<ArchiveSource> source = openTracked(path);
    LineReader reader(*source);
    m_stats.headerLines += ContentsParser::parse(reader, [this](std::string_view filePath,
                                                                std::string_view location) {
        FileIndex::PathIds ids;
        bool interned = false;
        ContentsParser::forEachPackage(location, [&](std::string_view name) {
            const std::vector<uint32_t> *pkgs = m_packages.idsNamed(name);
            if (!pkgs) {
                ++m_stats.droppedEntries;
                return;
            }
            if (!interned && !m_files.intern(filePath, ids)) {
                return;
            }
            interned = true;
            for (uint32_t pkg : *pkgs)
                m_files.link(pkg, ids);
        });
    }, skippedOf(reader));
    finishList(reader);
}

void CatalogueBuilder::readRepodataPackages(const std::string &dir)
{
    // Accept either the repository root or its repodata/ folder.
    Repo repo{dir, {}};
    if (!CataloguePaths::isFile(dir + "/repodata/repomd.xml") && CataloguePaths::isFile(dir + "/repomd.xml")) {
        repo.root = dir + "/..";
    }
    const std::string repomdPath = repo.root + "/repodata/repomd.xml";
    ArchiveSource repomd(repomdPath, m_inputs.open(repomdPath, InputFiles::Rule::RegularFile));
    const RepomdParser::Locations where = RepomdParser::parse(repomd);
    if (!where.filelists.empty()) {
        repo.filelists = repoFile(repo, where.filelists, repomdPath);
    }

    const std::string primaryPath = repoFile(repo, where.primary, repomdPath);
    const std::unique_ptr<ArchiveSource> primary = openTracked(primaryPath,
                                                               InputFiles::Rule::RegularFile);
    RpmPrimaryParser::parse(*primary, [this](const RpmPackage &p) {
        if (!acceptName(p.name, VersionScheme::Rpm)) {
            return;
        }
        m_packages.add(p.name, p.ver, p.rel.empty() ? "0" : p.rel, p.arch, VersionScheme::Rpm,
                       VersionOrder::rpmEvr(p.epoch, p.ver, p.rel), p.summary, p.group);
    });
    m_repos.push_back(std::move(repo));
}

// An installed package's files belong to its row (as for dpkg), whichever
// version the row shows in the end.
void CatalogueBuilder::readRpmDatabase(const std::string &root)
{
    m_progress.begin(root, 0);
    RpmDatabase::read(root, [this](const RpmPackage &p, const std::vector<std::string> &paths) {
        if (!acceptName(p.name, VersionScheme::Rpm)) {
            return;
        }
        const uint32_t id = m_packages.add(p.name, p.ver, p.rel.empty() ? "0" : p.rel, p.arch,
                                           VersionScheme::Rpm,
                                           VersionOrder::rpmEvr(p.epoch, p.ver, p.rel), p.summary,
                                           p.group);
        m_rpmdbFiles.emplace_back(id, paths);
    });
}

void CatalogueBuilder::readRepodataFiles(const Repo &repo)
{
    if (repo.filelists.empty()) {
        return;
    }
    const std::unique_ptr<ArchiveSource> source = openTracked(repo.filelists,
                                                              InputFiles::Rule::RegularFile);
    RpmFilelistsParser::parse(*source, [this](const RpmPackage &p,
                                             const std::vector<std::string> &paths) {
        const uint32_t id = m_packages.find(p.name, p.ver, p.rel.empty() ? "0" : p.rel, p.arch);
        if (id != 0) {
            addFiles(id, paths);
        } else if (!m_packages.idsNamed(p.name)) {
            m_stats.droppedEntries += paths.size();
        }
        // else: a version that a newer one of the same package replaced
    });
}

void CatalogueBuilder::readDpkgLists(const std::string &infoDir, bool onThisSystem)
{
    m_progress.begin(infoDir, m_installed.size());
    uint64_t done = 0;
    for (const Installed &pkg : m_installed) {
        m_progress.update(++done);
        std::string path = infoDir + "/" + pkg.name + ":" + pkg.arch + ".list";
        if (!exists(path)) {
            path = infoDir + "/" + pkg.name + ".list";
        }
        if (!exists(path)) {
            ++m_stats.missingLists;
            continue;
        }
        readList(path, [&] {
            // dpkg writes these files itself; a link could point at any file.
            ArchiveSource source(path, m_inputs.open(path, InputFiles::Rule::RegularNoFollow));
            LineReader reader(source, 1 << 16);
            std::vector<std::string> files = DpkgFileList::readFiles(reader);
            if (onThisSystem) {
                dropDirectoriesOnDisk(files);
            }
            addFiles(pkg.id, files);
        });
    }
}

// A directory that no other entry of the list lies beneath (/etc/skel,
// /etc/ssl/certs) looks like a file in the list; on this machine the file
// system tells. A symbolic link to a directory stays, as dpkg ships the link.
void CatalogueBuilder::dropDirectoriesOnDisk(std::vector<std::string> &paths)
{
    const auto isDirectory = [](const std::string &path) {
        struct stat st = {};
        return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    };
    const auto end = std::remove_if(paths.begin(), paths.end(), isDirectory);
    m_stats.directoriesOnDisk += uint64_t(paths.end() - end);
    paths.erase(end, paths.end());
}

void CatalogueBuilder::addFiles(uint32_t pkg, const std::vector<std::string> &paths)
{
    FileIndex::PathIds ids;
    for (const std::string &path : paths) {
        if (m_files.intern(path, ids)) {
            m_files.link(pkg, ids);
        }
    }
}
