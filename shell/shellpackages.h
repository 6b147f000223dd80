#ifndef SHELLPACKAGES_H
#define SHELLPACKAGES_H

// The install command the shell's programs print: the core's (InstalledPackages), without
// "sudo " for root, who needs none.

#include <set>
#include <string>
#include <vector>

class InstalledPackages;

namespace ShellPackages {

std::string forPackage(const InstalledPackages &installed, const std::string &name, const std::string &arch);
// Whether the package has a version in dpkg's (or RPM's) "installed" state, read now; its
// version, or "".
std::string installedVersion(const InstalledPackages &installed, const std::string &name, const std::string &arch);
// Of the packages named, those with a version in the "installed" state, read in one go.
std::set<std::string> installedOf(const InstalledPackages &installed, const std::vector<std::string> &names);

} // namespace ShellPackages

#endif // SHELLPACKAGES_H
