#include "installcommand.h"

#include <installedpackages.h>

#include <unistd.h>

namespace {

QString qt(const std::string &text)
{
    return QString::fromUtf8(text.data(), int(text.size()));
}

} // namespace

std::string InstallCommand::forPackage(const InstalledPackages &installed, const std::string &name, const std::string &arch)
{
    std::string command = installed.installCommand(qt(name), qt(arch)).toUtf8().toStdString();
    const std::string sudo = "sudo ";
    if (geteuid() == 0 && command.compare(0, sudo.size(), sudo) == 0) {
        command.erase(0, sudo.size());
    }
    return command;
}

std::string InstallCommand::installedVersion(const InstalledPackages &installed, const std::string &name,
                                             const std::string &arch)
{
    QVector<InstalledPackages::Installed> versions;
    if (!installed.versionsOf(qt(name), versions, nullptr)) {
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
