#include "CommandLine.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {
std::string dirOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}
} // namespace

const char *CommandLine::usage()
{
    return "usage: quorvi-catalog -o CATALOGUE [SOURCE]... [--quiet]\n"
           "sources (each may be given several times; plain or gzip/xz/bzip2/zstd/lz4):\n"
           "  --packages FILE     Debian/Ubuntu Packages index\n"
           "  --contents FILE     Debian/Ubuntu Contents index\n"
           "  --repodata DIR      RPM repository (its root or its repodata/ folder)\n"
           "  --apt-lists DIR     every *_Packages* and *_Contents-* file in DIR\n"
           "                      (e.g. /var/lib/apt/lists)\n"
           "  --dpkg-status FILE  installed packages of a dpkg status file; file lists\n"
           "                      from --dpkg-info DIR (default: info/ beside FILE)\n"
           "  --dpkg-admin DIR    same as --dpkg-status DIR/status --dpkg-info DIR/info\n"
           "  --installed         this machine's packages (--dpkg-admin /var/lib/dpkg)\n"
           "options:\n"
           "  -o, --output FILE   the catalogue to write (replaced atomically)\n"
           "  -q, --quiet         no progress bar\n"
           "  -h, --help          show this help\n";
}

CommandLine CommandLine::parse(int argc, char **argv)
{
    CommandLine cl;
    std::string dpkgInfo;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw UsageError(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "-o" || arg == "--output")
            cl.output = value();
        else if (arg == "--packages")
            cl.build.packages.push_back(value());
        else if (arg == "--contents")
            cl.build.contents.push_back(value());
        else if (arg == "--repodata")
            cl.build.repodata.push_back(value());
        else if (arg == "--apt-lists")
            cl.addAptLists(value());
        else if (arg == "--dpkg-status")
            cl.build.dpkgStatus = value();
        else if (arg == "--dpkg-info")
            dpkgInfo = value();
        else if (arg == "--dpkg-admin")
            cl.setDpkgAdmin(value());
        else if (arg == "--installed")
            cl.setDpkgAdmin("/var/lib/dpkg");
        else if (arg == "-q" || arg == "--quiet")
            cl.quiet = true;
        else if (arg == "-h" || arg == "--help")
            cl.help = true;
        else
            throw UsageError("unknown argument: " + arg);
    }
    if (cl.help)
        return cl;
    if (!dpkgInfo.empty() && cl.build.dpkgStatus.empty())
        throw UsageError("--dpkg-info needs --dpkg-status");
    if (!dpkgInfo.empty())
        cl.build.dpkgInfo = dpkgInfo;
    if (!cl.build.dpkgStatus.empty() && cl.build.dpkgInfo.empty())
        cl.build.dpkgInfo = dirOf(cl.build.dpkgStatus) + "/info";
    if (cl.output.empty())
        throw UsageError("no output catalogue (-o FILE)");
    if (cl.build.empty())
        throw UsageError("no sources given");
    return cl;
}

void CommandLine::setDpkgAdmin(const std::string &dir)
{
    build.dpkgStatus = dir + "/status";
    build.dpkgInfo = dir + "/info";
}

// apt names its lists <site>_<path>_Packages[.ext] and (apt-file)
// <site>_<path>_Contents-<arch>[.ext].
void CommandLine::addAptLists(const std::string &dir)
{
    DIR *d = opendir(dir.c_str());
    if (!d)
        throw UsageError("cannot open " + dir + ": " + std::strerror(errno));
    std::vector<std::string> packages;
    std::vector<std::string> contents;
    while (const dirent *entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name.find("_Packages") != std::string::npos
            && name.find(".diff") == std::string::npos)
            packages.push_back(dir + "/" + name);
        else if (name.find("_Contents-") != std::string::npos
                 && name.find(".diff") == std::string::npos)
            contents.push_back(dir + "/" + name);
    }
    closedir(d);
    std::sort(packages.begin(), packages.end());
    std::sort(contents.begin(), contents.end());
    build.packages.insert(build.packages.end(), packages.begin(), packages.end());
    build.contents.insert(build.contents.end(), contents.begin(), contents.end());
}
