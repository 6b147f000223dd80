#include "machinecatalogue.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <cataloguepaths.h>

const char *MachineCatalogue::systemPath()
{
    return CataloguePaths::systemPath();
}

std::string MachineCatalogue::userPath(const char *xdgCacheHome, const char *home)
{
    return CataloguePaths::userPath(xdgCacheHome, home);
}

std::string MachineCatalogue::pathOf(Kind kind)
{
    if (kind == Kind::System) {
        return systemPath();
    }
    if (kind == Kind::User) {
        return userPath(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    }
    return std::string();
}

const char *MachineCatalogue::aptListsDir()
{
    return "/var/lib/apt/lists";
}

const char *MachineCatalogue::dpkgAdminDir()
{
    return "/var/lib/dpkg";
}

MachineCatalogue::Source MachineCatalogue::machineSource(const std::string &aptLists,
                                                         const std::string &dpkgAdmin)
{
    if (DIR *d = opendir(aptLists.c_str())) {
        bool packages = false;
        while (const dirent *entry = readdir(d)) {
            if (std::strstr(entry->d_name, "_Packages") && !std::strstr(entry->d_name, ".diff")) {
                packages = true;
                break;
            }
        }
        closedir(d);
        if (packages) {
            return Source::AptLists;
        }
    }
    struct stat st = {};
    if (stat((dpkgAdmin + "/status").c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        return Source::Dpkg;
    }
    return Source::None;
}

namespace {
std::string parentOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

[[noreturn]] void failErrno(const std::string &what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

[[noreturn]] void notOwned(const std::string &dir, uid_t owner)
{
    throw std::runtime_error("refusing to use " + dir + ": it belongs to uid " + std::to_string(owner)
                             + ", not to uid " + std::to_string(geteuid())
                             + " who runs this build (another user's HOME, as with sudo -E?)");
}

// The folder, and where a symbolic link in its place leads, must both belong to the
// effective user: a link that another user made could lead anywhere.
void checkOwned(const std::string &dir)
{
    struct stat link = {};
    struct stat st = {};
    if (lstat(dir.c_str(), &link) != 0 || stat(dir.c_str(), &st) != 0) {
        failErrno("cannot use the folder " + dir);
    }
    if (!S_ISDIR(st.st_mode)) {
        throw std::runtime_error(dir + ": not a folder");
    }
    if (link.st_uid != geteuid()) {
        notOwned(dir, link.st_uid);
    }
    if (st.st_uid != geteuid()) {
        notOwned(dir, st.st_uid);
    }
}
} // namespace

void MachineCatalogue::makeFolderFor(const std::string &catalogue, Kind kind)
{
    const bool user = kind == Kind::User;
    const std::string folder = parentOf(catalogue);
    const std::string cache = parentOf(folder);
    if (!user) {
        umask(022);
    }
    for (size_t slash = catalogue.find('/', 1); slash != std::string::npos;
         slash = catalogue.find('/', slash + 1)) {
        const std::string dir = catalogue.substr(0, slash);
        struct stat st = {};
        if (lstat(dir.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                failErrno("cannot use the folder " + dir);
            }
            struct stat parent = {};
            if (user && stat(parentOf(dir).c_str(), &parent) == 0 && parent.st_uid != geteuid()
                && parent.st_uid != 0) {
                throw std::runtime_error("refusing to make " + dir + ": " + parentOf(dir)
                                         + " belongs to uid " + std::to_string(parent.st_uid)
                                         + ", not to uid " + std::to_string(geteuid())
                                         + " who runs this build (another user's HOME, as with"
                                           " sudo -E?)");
            }
            if (mkdir(dir.c_str(), user ? 0700 : 0755) != 0 && errno != EEXIST) {
                failErrno("cannot make the folder " + dir);
            }
        }
        if (user && (dir == cache || dir == folder)) {
            checkOwned(dir);
        }
    }
    // A folder an earlier run made under a stricter umask is opened up again.
    struct stat st = {};
    if (!user && stat(folder.c_str(), &st) == 0 && (st.st_mode & 07777) != 0755
        && chmod(folder.c_str(), 0755) != 0) {
        failErrno("cannot make " + folder + " readable by all");
    }
}

bool MachineCatalogue::lockUntilExit(const std::string &catalogue, bool wait)
{
    const size_t slash = catalogue.rfind('/');
    const std::string lock = catalogue.substr(0, slash + 1) + "." + catalogue.substr(slash + 1) + ".lock";
    // The descriptor stays open on purpose: the lock ends with the process. Opened
    // without blocking so that a FIFO put there is refused instead of waited on.
    const int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0 && errno == ELOOP) {
        throw std::runtime_error("the lock file " + lock + " is a symbolic link; not followed");
    }
    if (fd < 0) {
        failErrno("cannot open the lock file " + lock);
    }
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        throw std::runtime_error("the lock file " + lock + " is not a regular file");
    }
    while (flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK && !wait) {
            close(fd);
            return false;
        }
        if (errno != EINTR) {
            failErrno("cannot lock " + lock);
        }
    }
    return true;
}
