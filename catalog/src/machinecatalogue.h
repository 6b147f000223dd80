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

    // Makes the folder that holds the catalogue, with its parents. System: every folder
    // it makes, and the catalogue's own, is 0755 whatever the umask, and the process's
    // umask becomes 022, so that the catalogue and its lock file are 0644 (readable by
    // every user even when root's umask is 077). User: folders are made private (0700,
    // as the XDG rules ask) and the user's umask is kept; the cache folder and quorvi/
    // under it must belong to the effective user, and a missing folder is made only in
    // one that belongs to that user or to root. Root running --user with another user's
    // HOME (sudo -E) is refused instead of leaving root-owned folders, or files made
    // through that user's links, in the other user's cache.
    // Throws std::runtime_error when it cannot or may not.
    static void makeFolderFor(const std::string &catalogue, Kind kind);

    // Takes the lock that keeps one --system or --user build of a catalogue at a time,
    // and holds it until this process ends: a slow build that started on older lists
    // (the package's postinst) must not rename its catalogue over a newer one. With
    // `wait`, waits for a build that holds it; without, returns false at once when one
    // does. The lock file is opened without following a symbolic link and must be a
    // regular file. Throws std::runtime_error when it cannot be opened or locked.
    static bool lockUntilExit(const std::string &catalogue, bool wait);

    // A run that finds the lock held (--no-wait) leaves a mark beside the catalogue; the
    // build holding the lock takes it (removes it, true when it was there) after its
    // rename and builds once more, so that lists changed during its run are read now
    // rather than at the next apt update. Best effort: a mark that cannot be made is
    // left out.
    static void markRebuild(const std::string &catalogue);
    static bool takeRebuildMark(const std::string &catalogue);
};
