#include "notfoundhandler.h"

#include "alternatives.h"
#include "commandlookup.h"
#include "shellpackages.h"
#include "shellcatalogue.h"

#include <filesearch.h>
#include <installedpackages.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits.h>
#include <set>
#include <sstream>
#include <tuple>
#include <unistd.h>

namespace {

// The near names shown at most.
constexpr size_t maxNearNames = 3;

void say(const std::string &line)
{
    std::fprintf(stderr, "%s\n", line.c_str());
}

std::string quote(const std::string &command)
{
    return "“" + command + "”";
}

std::string canonical(const std::string &folder)
{
    char resolved[PATH_MAX];
    return realpath(folder.c_str(), resolved) ? std::string(resolved) : folder;
}

std::string nameOf(const std::string &path)
{
    return path.substr(path.rfind('/') + 1);
}

// Whether an executable of that name is in a folder of PATH.
bool onPath(const std::string &name, const std::string &path)
{
    std::istringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty() && access((folder + '/' + name).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

const char *environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

} // namespace

NotFoundHandler::NotFoundHandler(std::string catalogue)
    : cataloguePath(std::move(catalogue))
{
}

std::string NotFoundHandler::offPath(const std::string &command, const std::string &path)
{
    if (command.empty() || command.find('/') != std::string::npos) {
        return {};
    }
    std::set<std::string> reachable;
    std::istringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty()) {
            reachable.insert(canonical(folder));
        }
    }
    for (const char *commandFolder : {"/usr/bin", "/bin", "/usr/sbin", "/sbin", "/usr/games"}) {
        const std::string file = std::string(commandFolder) + '/' + command;
        if (access(file.c_str(), X_OK) == 0 && !reachable.count(canonical(commandFolder))) {
            return file;
        }
    }
    return {};
}

int NotFoundHandler::run(const std::string &command)
{
    const std::string offPathFile = offPath(command, environment("PATH"));
    if (!offPathFile.empty()) {
        const std::string folder = offPathFile.substr(0, offPathFile.rfind('/'));
        say("命令" + quote(command) + "已安装在 " + offPathFile + "，但 " + folder + " 不在 PATH 中。可以这样运行它："
            + offPathFile);
        return exitStatus;
    }
    const std::string path = cataloguePath.empty() ? ShellCatalogue::locate() : cataloguePath;
    try {
        if (!path.empty()) {
            ShellCatalogue catalogue(path);
            if (answerFromCatalogue(catalogue, command)) {
                return exitStatus;
            }
        }
    } catch (const std::exception &) {
        // A missing, foreign or damaged catalogue answers nothing: the shell's own line.
    }
    say(command + ": command not found");
    return exitStatus;
}

bool NotFoundHandler::answerFromCatalogue(ShellCatalogue &catalogue, const std::string &command)
{
    const CommandLookup lookup(catalogue.handle());
    const std::vector<CommandFile> providers = lookup.providers(command);
    if (!providers.empty()) {
        say("找不到命令" + quote(command) + "。可以安装提供它的软件包：");
        installLines(catalogue, providers);
        return true;
    }
    const std::vector<CommandFile> choices = lookup.alternativeProviders(command, Alternatives::read());
    if (!choices.empty()) {
        say("找不到命令" + quote(command) + "。它是 update-alternatives 设置的命令，可以安装下面的软件包之一：");
        installLines(catalogue, choices);
        return true;
    }
    std::vector<CommandFile> near = lookup.nearCommands(command);
    if (!near.empty()) {
        nearLines(catalogue, command, std::move(near));
        return true;
    }
    say("找不到命令" + quote(command) + "，软件包目录中也没有提供它的软件包。");
    return true;
}

// One line a package: its install command and the file it ships.
void NotFoundHandler::installLines(ShellCatalogue &catalogue, const std::vector<CommandFile> &files)
{
    const InstalledPackages installed = InstalledPackages::system();
    std::set<std::string> shown;
    for (const CommandFile &file : files) {
        const PackageRow row = catalogue.package(file.pkg);
        if (shown.insert(row.name).second) {
            say("  " + ShellPackages::forPackage(installed, row.name, row.arch) + "    （" + file.path + "）");
        }
    }
}

// Up to three near names: commands on this machine first, then those of installed
// packages, then those a package of the command's own name ships, then by name.
void NotFoundHandler::nearLines(ShellCatalogue &catalogue, const std::string &command, std::vector<CommandFile> near)
{
    const InstalledPackages packages = InstalledPackages::system();
    const std::string path = environment("PATH");
    std::vector<PackageRow> rows;
    std::vector<std::string> packageNames;
    for (const CommandFile &file : near) {
        rows.push_back(catalogue.package(file.pkg));
        packageNames.push_back(rows.back().name);
    }
    const std::set<std::string> installed = ShellPackages::installedOf(packages, packageNames);
    struct Candidate
    {
        std::tuple<bool, bool, bool, std::string> rank;
        std::string line;
    };
    std::vector<Candidate> candidates;
    for (size_t i = 0; i < near.size(); ++i) {
        const std::string name = nameOf(near[i].path);
        const PackageRow &row = rows[i];
        const bool here = onPath(name, path);
        const bool isInstalled = installed.count(row.name) > 0;
        std::string line = "  " + name + "（软件包 " + row.name;
        line += here || isInstalled ? "，已安装）" : "）：" + ShellPackages::forPackage(packages, row.name, row.arch);
        candidates.push_back({{!here, !isInstalled, row.name != name, name}, line});
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate &a, const Candidate &b) { return a.rank < b.rank; });
    say("找不到命令" + quote(command) + "。相近的命令：");
    std::set<std::string> said;
    for (const Candidate &candidate : candidates) {
        if (said.size() == maxNearNames) {
            break;
        }
        if (said.insert(std::get<3>(candidate.rank)).second) {
            say(candidate.line);
        }
    }
}
