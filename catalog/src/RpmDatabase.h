#pragma once

#include "RpmPackage.h"

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
    static void read(const std::string &root, const Callback &callback);
};
