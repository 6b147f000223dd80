#include "MachineCatalogue.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

const char *MachineCatalogue::systemPath()
{
    return "/var/cache/quorvi/os_pkg_list.db";
}

std::string MachineCatalogue::userPath(const char *xdgCacheHome, const char *home)
{
    std::string cache;
    if (xdgCacheHome && xdgCacheHome[0] == '/')
        cache = xdgCacheHome;
    else
        cache = std::string(home ? home : "") + "/.cache";
    while (cache.size() > 1 && cache.back() == '/')
        cache.pop_back();
    return cache + "/quorvi/os_pkg_list.db";
}

std::string MachineCatalogue::pathOf(Kind kind)
{
    if (kind == Kind::System)
        return systemPath();
    if (kind == Kind::User)
        return userPath(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
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
        if (packages)
            return Source::AptLists;
    }
    struct stat st = {};
    if (stat((dpkgAdmin + "/status").c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return Source::Dpkg;
    return Source::None;
}

void MachineCatalogue::makeFolderFor(const std::string &catalogue, Kind kind)
{
    const mode_t mode = kind == Kind::User ? 0700 : 0755;
    for (size_t slash = catalogue.find('/', 1); slash != std::string::npos;
         slash = catalogue.find('/', slash + 1)) {
        const std::string dir = catalogue.substr(0, slash);
        if (mkdir(dir.c_str(), mode) != 0 && errno != EEXIST)
            throw std::runtime_error("cannot make the folder " + dir + ": " + std::strerror(errno));
    }
}

void MachineCatalogue::lockUntilExit(const std::string &catalogue)
{
    const size_t slash = catalogue.rfind('/');
    const std::string lock = catalogue.substr(0, slash + 1) + "." + catalogue.substr(slash + 1) + ".lock";
    // The descriptor stays open on purpose: the lock ends with the process.
    const int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot open the lock file " + lock + ": " + std::strerror(errno));
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            throw std::runtime_error("cannot lock " + lock + ": " + std::strerror(errno));
    }
}
