#include "shellpackages.h"

#include <installedpackages.h>

#include <unistd.h>

namespace {

QString qt(const std::string &text)
{
    return QString::fromUtf8(text.data(), int(text.size()));
}

} // namespace

std::string ShellPackages::forPackage(const InstalledPackages &installed, const std::string &name, const std::string &arch)
{
    std::string command = installed.installCommand(qt(name), qt(arch)).toUtf8().toStdString();
    const std::string sudo = "sudo ";
    if (geteuid() == 0 && command.compare(0, sudo.size(), sudo) == 0) {
        command.erase(0, sudo.size());
    }
    return command;
}

std::string ShellPackages::installedVersion(const InstalledPackages &installed, const std::string &name,
                                             const std::string &arch)
{
    QVector<InstalledPackages::Installed> versions;
    QString error;
    if (!installed.versionsOf(qt(name), versions, &error)) {
        return {};
    }
    for (const InstalledPackages::Installed &version : versions) {
        const bool sameArch = arch.empty() || version.arch == qt(arch) || version.arch == "all" || arch == "all";
        if (sameArch && version.state == QLatin1String("installed")) {
            return version.version.toUtf8().toStdString();
        }
    }
    return {};
}

std::set<std::string> ShellPackages::installedOf(const InstalledPackages &installed, const std::vector<std::string> &names)
{
    QStringList wanted;
    for (const std::string &name : names) {
        wanted << qt(name);
    }
    QHash<QString, QVector<InstalledPackages::Installed>> versions;
    QString error;
    std::set<std::string> found;
    if (!installed.versionsOf(wanted, versions, &error)) {
        return found;
    }
    for (auto it = versions.cbegin(); it != versions.cend(); ++it) {
        for (const InstalledPackages::Installed &version : it.value()) {
            if (version.state == QLatin1String("installed")) {
                found.insert(it.key().toUtf8().toStdString());
            }
        }
    }
    return found;
}
