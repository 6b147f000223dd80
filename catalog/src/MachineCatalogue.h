#pragma once

#include <string>

// The two catalogues of a machine that the finder looks for after its working folder:
// the system's, kept fresh by apt, and the user's own. --system and --user build them,
// from this machine's package data when the command line names no source.
class MachineCatalogue
{
public:
    enum class Kind { None, System, User };
    enum class Source { AptLists, Dpkg, None };

    static const char *systemPath(); // /var/cache/quorvi/os_pkg_list.db
    // ${XDG_CACHE_HOME:-$HOME/.cache}/quorvi/os_pkg_list.db, as the finder reads it: an
    // unset, empty or relative XDG_CACHE_HOME means $HOME/.cache. Either may be null.
    static std::string userPath(const char *xdgCacheHome, const char *home);
    static std::string pathOf(Kind kind); // from the process's environment

    static const char *aptListsDir();  // /var/lib/apt/lists
    static const char *dpkgAdminDir(); // /var/lib/dpkg
    // What describes this machine's packages: apt's lists when the folder holds a
    // Packages index, else the dpkg database when it has a status file.
    static Source machineSource(const std::string &aptLists, const std::string &dpkgAdmin);

    // Makes the folder that holds the catalogue, with its parents (the user's cache
    // folders private, as the XDG rules ask; /var/cache/quorvi readable by all).
    // Throws std::runtime_error when it cannot.
    static void makeFolderFor(const std::string &catalogue, Kind kind);

    // Waits until no other --system or --user build of the same catalogue runs, and keeps
    // others waiting until this process ends: a slow build that started on older lists
    // (the package's postinst) must not rename its catalogue over a newer one. A build
    // that waited then finds the catalogue up to date or stale as it really is.
    // Throws std::runtime_error when the lock file cannot be opened.
    static void lockUntilExit(const std::string &catalogue);
};
