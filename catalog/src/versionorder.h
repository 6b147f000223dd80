#pragma once

#include <string>

// Which package manager's rules order a version.
enum class VersionScheme : unsigned char { Debian, Rpm };

// Orders versions the way the package managers themselves do, through their
// own libraries: libapt-pkg's Debian versioning system (epochs, "~", native
// versions) and librpm's EVR comparison (epoch, then rpmvercmp on version and
// release).
class VersionOrder
{
public:
    // Below 0 when a is older than b, 0 when they are equal, above 0 when a
    // is newer. Debian versions as dpkg writes them ("1:2.0-3"); RPM ones as
    // "[epoch:]version[-release]".
    static int compare(VersionScheme scheme, const std::string &a, const std::string &b);

    // "epoch:version-release" for librpm, the epoch left out when empty.
    static std::string rpmEvr(const std::string &epoch, const std::string &ver,
                              const std::string &rel);
};
