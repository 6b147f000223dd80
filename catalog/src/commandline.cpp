#include "commandline.h"

#include <QCommandLineParser>
#include <QHash>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cataloguepaths.h>

// One command-line option: its names, its value, how often it may be given,
// its line in the usage text, and what it does. Arguments are converted with
// Latin-1 both ways, so file names that are not valid UTF-8 keep every byte.
struct CommandLine::Option
{
    enum Section { Source, General };
    enum Value { NoValue, Required, Optional }; // Optional: "--opt", "--opt=V" or "--opt V"
    enum Count { Once, Many };

    QStringList names;     // without dashes: {"o", "output"}
    QString valueName;     // "FILE" for an option with a value
    Value value;
    Count count;
    const char *exclusive; // options sharing this tag exclude each other; null: none
    Section section;
    const char *help;      // may hold several lines
    void (*apply)(CommandLine &, const std::string &value);
};

namespace {
// A descriptor number for --progress-fd; 0 (stdin) is no place to write to.
int parseDescriptor(const std::string &text)
{
    char *end = nullptr;
    errno = 0;
    const long fd = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || fd < 1 || fd > 1 << 20) {
        throw CommandLine::UsageError("--progress-fd needs a descriptor number, not \"" + text + "\"");
    }
    return int(fd);
}
} // namespace

// Adding an option is one entry here (and a field in BuildOptions or
// CommandLine when it needs one). Handlers run in command-line order.
const std::vector<CommandLine::Option> &CommandLine::options()
{
    using O = Option;
    static const std::vector<O> table = {
        {{"packages"}, "FILE", O::Required, O::Many, nullptr, O::Source,
         "Debian/Ubuntu Packages index",
         [](CommandLine &cl, const std::string &v) { cl.build.packages.push_back(v); }},
        {{"contents"}, "FILE", O::Required, O::Many, nullptr, O::Source,
         "Debian/Ubuntu Contents index",
         [](CommandLine &cl, const std::string &v) { cl.build.contents.push_back(v); }},
        {{"repodata"}, "DIR", O::Required, O::Many, nullptr, O::Source,
         "RPM repository (its root or its repodata/ folder)",
         [](CommandLine &cl, const std::string &v) { cl.build.repodata.push_back(v); }},
        {{"apt-lists"}, "DIR", O::Required, O::Many, nullptr, O::Source,
         "every *_Packages* and *_Contents-* file in DIR\n(e.g. /var/lib/apt/lists)",
         [](CommandLine &cl, const std::string &v) { cl.addAptLists(v); }},
        {{"dpkg-status"}, "FILE", O::Required, O::Once, "dpkg", O::Source,
         "installed packages of a dpkg status file; file lists\n"
         "from --dpkg-info DIR (default: info/ beside FILE)",
         [](CommandLine &cl, const std::string &v) { cl.build.dpkgStatus = v; }},
        {{"dpkg-info"}, "DIR", O::Required, O::Once, nullptr, O::Source,
         "the .list files for --dpkg-status",
         [](CommandLine &cl, const std::string &v) { cl.m_dpkgInfo = v; }},
        {{"dpkg-admin"}, "DIR", O::Required, O::Once, "dpkg", O::Source,
         "same as --dpkg-status DIR/status --dpkg-info DIR/info",
         [](CommandLine &cl, const std::string &v) { cl.setDpkgAdmin(v); }},
        {{"installed"}, "", O::NoValue, O::Once, "dpkg", O::Source,
         "this machine's packages (--dpkg-admin /var/lib/dpkg)",
         [](CommandLine &cl, const std::string &) {
             cl.setDpkgAdmin("/var/lib/dpkg");
             cl.build.dpkgOnThisSystem = true;
         }},
        {{"rpmdb"}, "ROOT", O::Optional, O::Many, nullptr, O::Source,
         "installed packages of the RPM database of ROOT\n"
         "(default /; also --rpmdb=ROOT)",
         [](CommandLine &cl, const std::string &v) {
             cl.build.rpmdbRoots.push_back(v.empty() ? "/" : v);
         }},
        {{"all-versions"}, "", O::NoValue, O::Many, nullptr, O::General,
         "keep every version the sources list (default: only\n"
         "the newest of each package name and architecture)",
         [](CommandLine &cl, const std::string &) { cl.build.allVersions = true; }},
        {{"system"}, "", O::NoValue, O::Once, "output", O::General,
         "write /var/cache/quorvi/os_pkg_list.db (as root); without\n"
         "sources, from this machine's apt lists or installed packages",
         [](CommandLine &cl, const std::string &) { cl.machine = MachineCatalogue::Kind::System; }},
        {{"user"}, "", O::NoValue, O::Once, "output", O::General,
         "likewise ${XDG_CACHE_HOME:-~/.cache}/quorvi/os_pkg_list.db",
         [](CommandLine &cl, const std::string &) { cl.machine = MachineCatalogue::Kind::User; }},
        {{"force"}, "", O::NoValue, O::Many, nullptr, O::General,
         "with --system or --user: build even when the catalogue\n"
         "is newer than every input",
         [](CommandLine &cl, const std::string &) { cl.force = true; }},
        {{"no-wait"}, "", O::NoValue, O::Many, nullptr, O::General,
         "with --system or --user: when another build of the\n"
         "catalogue is running, end at once (exit 0)",
         [](CommandLine &cl, const std::string &) { cl.noWait = true; }},
        {{"o", "output"}, "FILE", O::Required, O::Once, "output", O::General,
         "the catalogue to write (replaced atomically)",
         [](CommandLine &cl, const std::string &v) { cl.output = v; }},
        {{"q", "quiet"}, "", O::NoValue, O::Many, nullptr, O::General, "no progress bar",
         [](CommandLine &cl, const std::string &) { cl.quiet = true; }},
        {{"progress-fd"}, "FD", O::Required, O::Once, nullptr, O::General,
         "write progress to descriptor FD as lines\n"
         "\"progress PERMILLE LABEL\" and \"progress end\"",
         [](CommandLine &cl, const std::string &v) { cl.progressFd = parseDescriptor(v); }},
        {{"h", "help"}, "", O::NoValue, O::Many, nullptr, O::General, "show this help",
         [](CommandLine &cl, const std::string &) { cl.help = true; }},
    };
    return table;
}

namespace {
QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// "-o/--output", as the option is named in error messages.
std::string displayName(const QStringList &names)
{
    QStringList dashedNames;
    for (const QString &name : names)
        dashedNames << dashed(name);
    return dashedNames.join('/').toStdString();
}

CommandLine::UsageError usageError(const QString &message)
{
    return CommandLine::UsageError(message.toLatin1().toStdString());
}
} // namespace

std::string CommandLine::usage()
{
    std::string text = "usage: quorvi-catalog -o CATALOGUE [SOURCE]... [--quiet]\n"
                       "       quorvi-catalog --system|--user [--force] [SOURCE]... [--quiet]\n";
    const char *headings[] = {
        "sources (plain or gzip/xz/bzip2/zstd/lz4; all but the dpkg ones may be\n"
        "repeated; one dpkg database per build):\n",
        "options:\n"};
    for (Option::Section section : {Option::Source, Option::General}) {
        text += headings[section];
        for (const Option &option : options()) {
            if (option.section != section) {
                continue;
            }
            QStringList names;
            for (const QString &name : option.names)
                names << dashed(name);
            QString head = "  " + names.join(", ");
            if (option.value == Option::Required) {
                head += ' ' + option.valueName;
            } else if (option.value == Option::Optional) {
                head += " [" + option.valueName + ']';
            }
            const QString indent(22, ' ');
            const QStringList lines = QString(option.help).split('\n');
            text += (head.size() < 22 ? head.leftJustified(22) : head + '\n' + indent)
                        .toStdString()
                    + lines.join('\n' + indent).toStdString() + '\n';
        }
    }
    return text;
}

CommandLine CommandLine::parse(int argc, char **argv)
{
    QCommandLineParser parser;
    QHash<QString, const Option *> byName;
    for (const Option &option : options()) {
        QCommandLineOption qtOption(option.names, option.help, option.valueName);
        parser.addOption(qtOption);
        for (const QString &name : option.names)
            byName.insert(name, &option);
    }
    // An option with an optional value takes the next argument unless that
    // starts with '-' (the builder takes no plain arguments); alone, it gets
    // an empty value, which is what the parser is handed.
    QStringList args{QStringLiteral("quorvi-catalog")};
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLatin1(argv[i]);
        args << arg;
        const int dashes = arg.startsWith(QLatin1String("--")) ? 2 : 1;
        const Option *option = arg.startsWith('-') ? byName.value(arg.mid(dashes)) : nullptr;
        if (option && option->value == Option::Optional) {
            args << (i + 1 < argc && argv[i + 1][0] != '-' ? QString::fromLatin1(argv[++i])
                                                          : QString());
        }
    }
    if (!parser.parse(args)) {
        throw usageError(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        throw usageError("unexpected argument: " + parser.positionalArguments().first());
    }

    CommandLine cl;
    QHash<const Option *, int> seen;
    QHash<QString, const Option *> exclusiveSeen;
    for (const QString &name : parser.optionNames()) {
        const Option *option = byName.value(name);
        const int index = seen[option]++;
        if (option->count == Option::Once && index > 0) {
            throw UsageError(displayName(option->names) + " may be given only once");
        }
        if (option->exclusive) {
            const Option *&other = exclusiveSeen[QString::fromLatin1(option->exclusive)];
            if (other && other != option) {
                throw UsageError(displayName(other->names) + " and " + displayName(option->names)
                                 + " cannot be combined");
            }
            other = option;
        }
        const QString value = option->value == Option::NoValue
                                  ? QString()
                                  : parser.values(option->names.first()).value(index);
        option->apply(cl, value.toLatin1().toStdString());
    }
    if (!cl.help) {
        cl.finish();
    }
    return cl;
}

// Checks that need every option, whatever their order.
void CommandLine::finish()
{
    if (!m_dpkgInfo.empty() && build.dpkgStatus.empty()) {
        throw UsageError("--dpkg-info needs --dpkg-status");
    }
    if (!m_dpkgInfo.empty() && !build.dpkgInfo.empty()) {
        throw UsageError("--dpkg-info cannot be combined with --dpkg-admin or --installed");
    }
    if (!m_dpkgInfo.empty()) {
        build.dpkgInfo = m_dpkgInfo;
    }
    if (!build.dpkgStatus.empty() && build.dpkgInfo.empty()) {
        build.dpkgInfo = CataloguePaths::dirOf(build.dpkgStatus) + "/info";
    }
    finishMachineCatalogue();
    if (output.empty()) {
        throw UsageError("no output catalogue (-o FILE, --system or --user)");
    }
    if (build.empty() && m_listFolders.empty()) {
        throw UsageError("no sources given");
    }
}

// --system and --user name the output and, without sources, take this machine's own.
void CommandLine::finishMachineCatalogue()
{
    if (machine == MachineCatalogue::Kind::None) {
        if (force) {
            throw UsageError("--force goes with --system or --user");
        }
        if (noWait) {
            throw UsageError("--no-wait goes with --system or --user");
        }
        return;
    }
    if (machine == MachineCatalogue::Kind::System && geteuid() != 0) {
        throw UsageError(std::string("--system writes ") + MachineCatalogue::systemPath()
                         + " and needs root (sudo); build your own catalogue with --user");
    }
    output = MachineCatalogue::pathOf(machine);
    build.skipBadEntries = true;
    if (!build.empty() || !m_listFolders.empty()) {
        return;
    }
    const std::string lists = MachineCatalogue::aptListsDir();
    const std::string dpkg = MachineCatalogue::dpkgAdminDir();
    switch (MachineCatalogue::machineSource(lists, dpkg)) {
    case MachineCatalogue::Source::AptLists:
        addAptLists(lists);
        break;
    case MachineCatalogue::Source::Dpkg:
        setDpkgAdmin(dpkg);
        build.dpkgOnThisSystem = true; // as --installed: this machine's own database
        break;
    case MachineCatalogue::Source::None:
        throw UsageError("no Packages index in " + lists + " and no " + dpkg
                         + "/status on this machine: name the sources");
    }
}

void CommandLine::setDpkgAdmin(const std::string &dir)
{
    build.dpkgStatus = dir + "/status";
    build.dpkgInfo = dir + "/info";
}

// The folder must be there when the command line is read; its indexes are listed later,
// by readListFolders().
void CommandLine::addAptLists(const std::string &dir)
{
    DIR *d = opendir(dir.c_str());
    if (!d) {
        throw UsageError("cannot open " + dir + ": " + std::strerror(errno));
    }
    closedir(d);
    m_listFolders.push_back({dir, build.packages.size(), build.contents.size()});
}

// apt names its lists <site>_<path>_Packages[.ext] and (apt-file)
// <site>_<path>_Contents-<arch>[.ext].
void CommandLine::readListFolders()
{
    // From the last folder back, so that the positions of the earlier ones stay valid.
    for (auto folder = m_listFolders.rbegin(); folder != m_listFolders.rend(); ++folder) {
        DIR *d = opendir(folder->dir.c_str());
        if (!d) {
            throw std::runtime_error("cannot open " + folder->dir + ": " + std::strerror(errno));
        }
        std::vector<std::string> packages;
        std::vector<std::string> contents;
        while (const dirent *entry = readdir(d)) {
            const std::string name = entry->d_name;
            if (name.find("_Packages") != std::string::npos
                && name.find(".diff") == std::string::npos) {
                packages.push_back(folder->dir + "/" + name);
            } else if (name.find("_Contents-") != std::string::npos
                     && name.find(".diff") == std::string::npos) {
                contents.push_back(folder->dir + "/" + name);
            }
        }
        closedir(d);
        std::sort(packages.begin(), packages.end());
        std::sort(contents.begin(), contents.end());
        build.packages.insert(build.packages.begin() + folder->packagesAt, packages.begin(),
                              packages.end());
        build.contents.insert(build.contents.begin() + folder->contentsAt, contents.begin(),
                              contents.end());
    }
    for (const ListFolder &folder : m_listFolders)
        listFolders.push_back(folder.dir);
    m_listFolders.clear();
    if (build.empty()) {
        throw std::runtime_error("no sources: the --apt-lists folders hold no *_Packages* or"
                                 " *_Contents-* file");
    }
}
