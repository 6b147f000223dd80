#include "findcommand.h"

#include "shellpackages.h"
#include "shellcatalogue.h"

#include <filesearch.h>
#include <installedpackages.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <set>

namespace {

const char usageText[] =
    "用法：quorvi-find [选项] search 关键字\n"
    "      quorvi-find [选项] list 软件包[:架构]\n"
    "      quorvi-find [选项] show 软件包[:架构]\n"
    "      quorvi-find [选项] names 关键字\n"
    "选项：\n"
    "  -l, --names-only     search 和 names 只列出软件包名称\n"
    "      --json           每行一个 JSON 对象\n"
    "  -0, --null           每条结果以 NUL 结尾（供 xargs -0）\n"
    "      --catalogue 文件  读这个软件包目录\n"
    "  -h, --help           显示这段说明\n";

std::string trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    const size_t last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// PACKAGE[:ARCH] split at its last ":".
std::pair<std::string, std::string> nameAndArch(const std::string &operand)
{
    const size_t colon = operand.rfind(':');
    if (colon == std::string::npos) {
        return {operand, {}};
    }
    return {operand.substr(0, colon), operand.substr(colon + 1)};
}

std::string quoted(const std::string &text)
{
    return LineOutput::jsonString(text);
}

void complain(const std::string &message)
{
    std::fprintf(stderr, "quorvi-find：%s\n", message.c_str());
}

} // namespace

bool FindCommand::parse(const std::vector<std::string> &args)
{
    std::vector<std::string> words;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            words.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "-l" || arg == "--names-only") {
            namesOnly = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "-0" || arg == "--null") {
            nulEnds = true;
        } else if (arg == "-h" || arg == "--help") {
            help = true;
        } else if (arg == "--catalogue" && i + 1 < args.size()) {
            catalogue = args[++i];
        } else if (arg.rfind("--catalogue=", 0) == 0) {
            catalogue = arg.substr(12);
        } else {
            return false;
        }
    }
    if (help) {
        return true;
    }
    if (words.size() != 2) {
        return false;
    }
    action = words[0];
    operand = trimmed(words[1]);
    const bool known = action == "search" || action == "list" || action == "show" || action == "names";
    return known && !operand.empty() && (!namesOnly || action == "search" || action == "names");
}

int FindCommand::usage(const std::string &problem) const
{
    if (!problem.empty()) {
        complain(problem);
    }
    std::fputs(usageText, stderr);
    return UsageError;
}

std::string FindCommand::cataloguePath() const
{
    return catalogue.empty() ? ShellCatalogue::locate() : catalogue;
}

int FindCommand::run(const std::vector<std::string> &args)
{
    if (!parse(args)) {
        return usage("命令行有误");
    }
    if (help) {
        std::fputs(usageText, stdout);
        return Found;
    }
    const std::string path = cataloguePath();
    if (path.empty()) {
        std::string places;
        for (const std::string &place : ShellCatalogue::places()) {
            places += "\n  " + place;
        }
        complain("在这些位置没有找到软件包目录：" + places + "\n用这条命令生成一个："
                 + ShellCatalogue::rebuildCommand(ShellCatalogue::places().at(1)));
        return CatalogueFailure;
    }
    try {
        ShellCatalogue opened(path);
        LineOutput out(stdout, json ? LineOutput::Format::Json : LineOutput::Format::Text, nulEnds);
        const int status = dispatch(opened, out);
        std::fflush(stdout);
        return status;
    } catch (const CatalogueUnreadable &e) {
        complain(std::string(e.what()) + "\n用这条命令重新生成：" + ShellCatalogue::rebuildCommand(path));
    } catch (const FileSearchError &e) {
        complain(path + " 无法读取（" + e.what() + "）。\n用这条命令重新生成：" + ShellCatalogue::rebuildCommand(path));
    } catch (const std::exception &e) {
        complain(path + " 无法读取（" + e.what() + "）");
    }
    return CatalogueFailure;
}

int FindCommand::dispatch(ShellCatalogue &catalogue, LineOutput &out)
{
    if (action == "search") {
        return search(catalogue, out);
    }
    if (action == "list") {
        return list(catalogue, out);
    }
    return action == "show" ? show(catalogue, out) : names(catalogue, out);
}

int FindCommand::search(ShellCatalogue &catalogue, LineOutput &out)
{
    FileSearch files(catalogue.handle(), operand);
    std::set<std::string> seen;
    bool any = false;
    for (const uint32_t pkg : files.packages()) {
        const PackageRow row = catalogue.package(pkg);
        if (namesOnly) {
            if (!seen.insert(row.name).second && out.format() == LineOutput::Format::Text) {
                continue;
            }
            any = true;
            if (out.format() == LineOutput::Format::Json) {
                out.object({{"package", quoted(row.name)}, {"version", quoted(row.version)}, {"architecture", quoted(row.arch)}});
            } else {
                out.text(row.name);
            }
            continue;
        }
        for (const std::string &path : files.matchingFiles(pkg, std::numeric_limits<size_t>::max())) {
            if (out.format() == LineOutput::Format::Json) {
                out.object({{"package", quoted(row.name)}, {"version", quoted(row.version)},
                            {"architecture", quoted(row.arch)}, {"path", quoted(path)}});
            } else if (seen.insert(row.name + '\n' + path).second) {
                out.text(row.name, ": " + path);
            }
            any = true;
        }
    }
    return any ? Found : NothingFound;
}

int FindCommand::list(ShellCatalogue &catalogue, LineOutput &out)
{
    const auto [name, arch] = nameAndArch(operand);
    const std::vector<PackageRow> rows = catalogue.packagesNamed(name, arch);
    if (rows.empty()) {
        complain("软件包目录中没有软件包 " + operand);
        return NothingFound;
    }
    std::set<std::string> paths;
    for (const PackageRow &row : rows) {
        for (std::string &path : packageFiles(catalogue.handle(), row.id)) {
            paths.insert(std::move(path));
        }
    }
    for (const std::string &path : paths) {
        if (out.format() == LineOutput::Format::Json) {
            out.object({{"package", quoted(name)}, {"path", quoted(path)}});
        } else {
            out.text({}, path);
        }
    }
    return paths.empty() ? NothingFound : Found;
}

int FindCommand::show(ShellCatalogue &catalogue, LineOutput &out)
{
    const auto [name, arch] = nameAndArch(operand);
    const std::vector<PackageRow> rows = catalogue.packagesNamed(name, arch);
    if (rows.empty()) {
        complain("软件包目录中没有软件包 " + operand);
        return NothingFound;
    }
    const InstalledPackages packages = InstalledPackages::system();
    const bool stateKnown = packages.manager() != InstalledPackages::Manager::None;
    for (size_t i = 0; i < rows.size(); ++i) {
        const PackageRow &row = rows[i];
        const std::string installed = ShellPackages::installedVersion(packages, row.name, row.arch);
        const std::string command = ShellPackages::forPackage(packages, row.name, row.arch);
        if (out.format() == LineOutput::Format::Json) {
            out.object({{"package", quoted(row.name)}, {"version", quoted(row.version)},
                        {"architecture", quoted(row.arch)}, {"summary", quoted(row.summary)},
                        {"section", quoted(row.section)}, {"installed", installed.empty() ? "false" : "true"},
                        {"installed_version", installed.empty() ? "null" : quoted(installed)},
                        {"install_command", quoted(command)}});
            continue;
        }
        if (i > 0) {
            out.text({});
        }
        out.text("软件包：", row.name);
        out.text("版本：", row.version);
        out.text("架构：", row.arch);
        out.text("摘要：", row.summary);
        out.text("分类：", row.section);
        out.text("安装状态：", !installed.empty() ? "已安装 " + installed
                                 : stateKnown    ? "未安装"
                                                 : "无法判断：这台机器上没有 dpkg 或 rpm 的软件包数据库");
        out.text("安装命令：", command);
    }
    return Found;
}

int FindCommand::names(ShellCatalogue &catalogue, LineOutput &out)
{
    const std::vector<PackageRow> rows = catalogue.searchNames(operand);
    std::set<std::string> seen;
    for (const PackageRow &row : rows) {
        if (namesOnly) {
            if (!seen.insert(row.name).second) {
                continue;
            }
            if (out.format() == LineOutput::Format::Json) {
                out.object({{"package", quoted(row.name)}});
            } else {
                out.text({}, row.name);
            }
        } else if (out.format() == LineOutput::Format::Json) {
            out.object({{"package", quoted(row.name)}, {"version", quoted(row.version)},
                        {"architecture", quoted(row.arch)}, {"shown", quoted(row.shownName())}});
        } else {
            out.text({}, row.shownName());
        }
    }
    return rows.empty() ? NothingFound : Found;
}
