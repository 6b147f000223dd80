#ifndef DPKGSTATUS_H
#define DPKGSTATUS_H

// A package's installed state, read from dpkg's status file at the moment it is asked
// (QUORVI_DPKG_STATUS names another file, as for the finder). The file is read once and
// searched for the package's stanza; no dpkg is started. No Qt.

#include <string>
#include <vector>

class DpkgStatus
{
public:
    struct Installed
    {
        std::string arch;
        std::string version;
        std::string state; // dpkg's state word: "installed", "unpacked", "config-files", ...
    };

    // Reads the system's status file; exists() is false when there is none.
    DpkgStatus();
    explicit DpkgStatus(const std::string &statusFile);

    bool exists() const { return found; }
    // The stanzas of the package, one for each architecture dpkg knows it in.
    std::vector<Installed> versionsOf(const std::string &name) const;
    // Whether dpkg has the package's files on disk (installed, unpacked, half-configured...).
    bool hasFiles(const std::string &name) const;

    // The architecture this program was built for, in Debian's name ("amd64").
    static std::string nativeArch();
    // The command that installs the package: "sudo apt install NAME", "apt install NAME"
    // for root; NAME:ARCH for a package of a foreign architecture.
    static std::string installCommand(const std::string &name, const std::string &arch = {});

private:
    std::string text;
    bool found = false;
};

#endif // DPKGSTATUS_H
