#ifndef CATALOGUEPATHS_H
#define CATALOGUEPATHS_H

// Where catalogues live and the small file rules that the builder and the finder share.

#include <cstdint>
#include <string>

namespace CataloguePaths {

// The catalogue's file name in each place: "os_pkg_list.db".
const char *fileName();
// The system's catalogue, kept fresh by apt's hook: /var/cache/quorvi/os_pkg_list.db.
const char *systemPath();
// ${XDG_CACHE_HOME:-$HOME/.cache}/quorvi/os_pkg_list.db: an unset, empty or relative
// XDG_CACHE_HOME means $HOME/.cache, as the XDG base directory rules ask. Either may be null.
std::string userPath(const char *xdgCacheHome, const char *home);
// The same from the process's environment.
std::string userPath();

// The folder part of a path ("." for a bare name, "/" for a file in the root).
std::string dirOf(const std::string &path);
// The size of the file a path names after links, or 0 when it cannot be looked at.
uint64_t fileSize(const std::string &path);
// Whether the path names a regular file after links.
bool isFile(const std::string &path);

} // namespace CataloguePaths

#endif // CATALOGUEPATHS_H
