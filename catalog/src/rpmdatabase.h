#pragma once

#include "rpmpackage.h"

#include <functional>
#include <string>
#include <vector>

// Reads the installed packages of an RPM database through librpm: for each
// package its name, epoch, version, release and arch, and the paths of its
// files without the directories it owns (ghost files are kept, as in
// repodata). Headers without an arch (the gpg-pubkey entries that hold
// imported keys) are not packages and are skipped.
class RpmDatabase
{
public:
    using Callback = std::function<void(const RpmPackage &, const std::vector<std::string> &)>;

    // `root` is the file system root whose database is read ("/" for this
    // machine). The database is where librpm's %_dbpath says within the
    // root; when no database is there, /var/lib/rpm and /usr/lib/sysimage/rpm
    // (an RPM-based system's own places) are tried. Throws ParseError when
    // none holds a database or it cannot be opened; nothing is created.
    // An error librpm reports while it reads (a damaged header, a backend that cannot
    // read a record) fails the read with a ParseError, rather than leaving packages out.
    static void read(const std::string &root, const Callback &callback);

    // The files whose change means the database of `root` changed: every file in its
    // folder (librpm's backends keep a journal or an index beside the database) but the
    // lock and SQLite's shared-memory file, which readers write. Empty when `root`
    // holds no database.
    static std::vector<std::string> databaseFiles(const std::string &root);
};
