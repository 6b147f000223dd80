#include "cataloguepaths.h"

#include <sys/stat.h>

#include <cstdlib>

namespace CataloguePaths {

const char *fileName()
{
    return "os_pkg_list.db";
}

const char *systemPath()
{
    return "/var/cache/quorvi/os_pkg_list.db";
}

std::string userPath(const char *xdgCacheHome, const char *home)
{
    std::string cache;
    if (xdgCacheHome && xdgCacheHome[0] == '/') {
        cache = xdgCacheHome;
    } else {
        cache = std::string(home ? home : "") + "/.cache";
    }
    while (cache.size() > 1 && cache.back() == '/')
        cache.pop_back();
    return cache + "/quorvi/" + fileName();
}

std::string userPath()
{
    return userPath(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
}

std::string dirOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

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

} // namespace CataloguePaths
