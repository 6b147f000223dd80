#include "rpmdatabase.h"

#include "parseerror.h"

#include <rpm/header.h>
#include <rpm/rpmdb.h>
#include <rpm/rpmfi.h>
#include <rpm/rpmlib.h>
#include <rpm/rpmlog.h>
#include <rpm/rpmmacro.h>
#include <rpm/rpmts.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#include <cataloguepaths.h>

namespace {
bool isDirectory(const std::string &path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}


std::string configuredDbPath()
{
    char *expanded = rpmExpand("%{?_dbpath}", nullptr);
    std::string path = expanded ? expanded : "";
    free(expanded);
    return path;
}

// Whether `dir` holds a database of one of librpm's backends (sqlite, ndb, bdb).
bool holdsDatabase(const std::string &dir)
{
    for (const char *file : {"/rpmdb.sqlite", "/Packages.db", "/Packages"}) {
        if (CataloguePaths::isFile(dir + file)) {
            return true;
        }
    }
    return false;
}

// The database directory inside `root` (a path from the root), empty when
// there is none. librpm would create an empty database where none is, and
// the builder must not write into the root it reads.
std::string chooseDbPath(const std::string &root)
{
    std::vector<std::string> candidates{configuredDbPath(), "/var/lib/rpm", "/usr/lib/sysimage/rpm"};
    for (const std::string &candidate : candidates) {
        if (!candidate.empty() && holdsDatabase(root + candidate)) {
            return candidate;
        }
    }
    return std::string();
}

std::string stringTag(Header h, rpmTagVal tag)
{
    const char *value = headerGetString(h, tag);
    return value ? value : "";
}

std::vector<std::string> filesOf(rpmts ts, Header h)
{
    std::vector<std::string> paths;
    rpmfi fi = rpmfiNew(ts, h, RPMTAG_BASENAMES, RPMFI_KEEPHEADER);
    if (!fi) {
        return paths;
    }
    while (rpmfiNext(fi) >= 0) {
        if (!S_ISDIR(rpmfiFMode(fi))) {
            paths.emplace_back(rpmfiFN(fi));
        }
    }
    rpmfiFree(fi);
    return paths;
}

// librpm's configuration (macros, rpmrc) for the time of one read.
class RpmConfig
{
public:
    explicit RpmConfig(const std::string &root)
    {
        if (rpmReadConfigFiles(nullptr, nullptr) != 0) {
            throw ParseError(root, 0, "cannot read librpm's configuration");
        }
    }
    ~RpmConfig()
    {
        rpmFreeMacros(nullptr);
        rpmFreeRpmrc();
    }
};

// Keeps the first error librpm logs while it is in scope; librpm still prints it.
// librpm reports a header it cannot read only through its log, and goes on with the
// next one.
class RpmErrors
{
public:
    RpmErrors() { m_previous = rpmlogSetCallback(&RpmErrors::log, this); }
    ~RpmErrors() { rpmlogSetCallback(m_previous, nullptr); }
    const std::string &first() const { return m_first; }

private:
    static int log(rpmlogRec rec, rpmlogCallbackData data)
    {
        auto *self = static_cast<RpmErrors *>(data);
        if (rpmlogRecPriority(rec) <= RPMLOG_ERR && self->m_first.empty()) {
            self->m_first = rpmlogRecMessage(rec);
            while (!self->m_first.empty() && self->m_first.back() == '\n')
                self->m_first.pop_back();
        }
        return RPMLOG_DEFAULT;
    }

    rpmlogCallback m_previous = nullptr;
    std::string m_first;
};

// The root as librpm wants it: absolute, "" for "/". Throws when it is no directory.
std::string resolvedRoot(const std::string &rootArg)
{
    char resolved[PATH_MAX];
    if (!realpath(rootArg.c_str(), resolved)) {
        throw ParseError(rootArg, 0, std::string("cannot read: ") + std::strerror(errno));
    }
    if (!isDirectory(resolved)) {
        throw ParseError(rootArg, 0, "not a directory");
    }
    return std::strcmp(resolved, "/") == 0 ? "" : resolved;
}

struct TsDeleter
{
    void operator()(rpmts ts) const { rpmtsFree(ts); }
};
struct IteratorDeleter
{
    void operator()(rpmdbMatchIterator mi) const { rpmdbFreeIterator(mi); }
};
} // namespace

void RpmDatabase::read(const std::string &rootArg, const Callback &callback)
{
    // librpm wants an absolute root; realpath also tells a missing one apart.
    const std::string root = resolvedRoot(rootArg);
    RpmConfig config(rootArg);
    RpmErrors errors;
    const std::string dbPath = chooseDbPath(root);
    if (dbPath.empty()) {
        throw ParseError(rootArg, 0, "no RPM database in " + (root.empty() ? "/" : root)
                                         + " (looked in %_dbpath, /var/lib/rpm, /usr/lib/sysimage/rpm)");
    }
    rpmPushMacro(nullptr, "_dbpath", nullptr, dbPath.c_str(), RMIL_CMDLINE);
    std::unique_ptr<rpmts_s, TsDeleter> ts(rpmtsCreate());
    rpmtsSetRootDir(ts.get(), root.empty() ? "/" : root.c_str());
    if (rpmtsOpenDB(ts.get(), O_RDONLY) != 0) {
        throw ParseError(rootArg, 0, "cannot open the RPM database " + root + dbPath);
    }
    std::unique_ptr<rpmdbMatchIterator_s, IteratorDeleter> mi(
        rpmtsInitIterator(ts.get(), RPMDBI_PACKAGES, nullptr, 0));
    RpmPackage package;
    while (Header h = rpmdbNextIterator(mi.get())) {
        package.clear();
        package.arch = stringTag(h, RPMTAG_ARCH);
        if (package.arch.empty()) {
            continue;
        }
        package.name = stringTag(h, RPMTAG_NAME);
        package.ver = stringTag(h, RPMTAG_VERSION);
        package.rel = stringTag(h, RPMTAG_RELEASE);
        package.summary = stringTag(h, RPMTAG_SUMMARY);
        package.group = stringTag(h, RPMTAG_GROUP);
        if (package.group == "Unspecified") {
            package.group.clear();
        }
        if (headerIsEntry(h, RPMTAG_EPOCH)) {
            package.epoch = std::to_string(headerGetNumber(h, RPMTAG_EPOCH));
        }
        callback(package, filesOf(ts.get(), h));
    }
    if (!errors.first().empty()) {
        throw ParseError(rootArg, 0, "cannot read the RPM database " + root + dbPath + ": "
                                         + errors.first());
    }
}

std::vector<std::string> RpmDatabase::databaseFiles(const std::string &rootArg)
{
    std::vector<std::string> files;
    try {
        const std::string root = resolvedRoot(rootArg);
        RpmConfig config(rootArg);
        const std::string dbPath = chooseDbPath(root);
        if (dbPath.empty()) {
            return files;
        }
        const std::string dir = root + dbPath;
        if (DIR *d = opendir(dir.c_str())) {
            // Not the lock file, nor SQLite's shared-memory index, which readers (this
            // builder among them) write to.
            while (const dirent *entry = readdir(d)) {
                const std::string name = entry->d_name;
                if (name[0] != '.' && !(name.size() > 4 && name.compare(name.size() - 4, 4, "-shm") == 0)
                    && CataloguePaths::isFile(dir + "/" + name)) {
                    files.push_back(dir + "/" + name);
                }
            }
            closedir(d);
        }
    } catch (const ParseError &) {
        files.clear();
    }
    return files;
}
