#include "alternatives.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>

namespace {

constexpr std::string_view commandFolders[] = {"/usr/bin", "/bin", "/usr/sbin", "/sbin", "/usr/games"};

std::string_view folderOf(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

std::string_view nameOf(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool endsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace

Alternatives Alternatives::read()
{
    const char *folder = std::getenv("QUORVI_ALTERNATIVES");
    return read(folder && *folder ? folder : databaseFolder);
}

Alternatives Alternatives::read(const std::string &folder)
{
    Alternatives alternatives;
    DIR *dir = opendir(folder.c_str());
    if (!dir) {
        return alternatives;
    }
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') {
            continue;
        }
        std::ifstream file(folder + "/" + name);
        std::ostringstream text;
        text << file.rdbuf();
        alternatives.parse(name, text.str());
    }
    closedir(dir);
    return alternatives;
}

// The database's format (update-alternatives' administrative file): the mode; the master
// link; a pair of lines (name, link) for each follower, then an empty line; for each
// choice its file, its priority and one line for each follower's file (empty where the
// choice has none); an empty line at the end.
void Alternatives::parse(const std::string &, const std::string &text)
{
    const std::vector<std::string> lines = linesOf(text);
    if (lines.size() < 3) {
        return;
    }
    std::vector<std::string> linkPaths{lines[1]};
    size_t i = 2;
    while (i + 1 < lines.size() && !lines[i].empty()) {
        linkPaths.push_back(lines[i + 1]);
        i += 2;
    }
    if (i >= lines.size() || !lines[i].empty()) {
        return;
    }
    ++i;
    const size_t followers = linkPaths.size() - 1;
    std::map<std::string, std::vector<std::string>> found;
    while (i + 1 + followers < lines.size() && !lines[i].empty()) {
        for (size_t k = 0; k < linkPaths.size(); ++k) {
            const std::string &target = k == 0 ? lines[i] : lines[i + 1 + k];
            if (!target.empty() && isCommandFolder(folderOf(linkPaths[k]))) {
                found[std::string(nameOf(linkPaths[k]))].push_back(target);
            }
        }
        i += 2 + followers;
    }
    for (auto &[command, targets] : found) {
        std::vector<std::string> &known = links[command];
        known.insert(known.end(), targets.begin(), targets.end());
    }
}

std::vector<std::string> Alternatives::targets(const std::string &command) const
{
    const auto it = links.find(command);
    return it == links.end() ? std::vector<std::string>() : it->second;
}

std::vector<std::string> Alternatives::commands() const
{
    std::vector<std::string> names;
    for (const auto &link : links) {
        names.push_back(link.first);
    }
    return names;
}

bool Alternatives::isCommandFolder(std::string_view folder)
{
    return std::find(std::begin(commandFolders), std::end(commandFolders), folder) != std::end(commandFolders);
}

bool Alternatives::mayProvide(std::string_view command, std::string_view path)
{
    const std::string_view folder = folderOf(path);
    const std::string_view name = nameOf(path);
    if (name == command) {
        // A versioned tree's own bin folder: /usr/lib/jvm/java-17-openjdk-amd64/bin,
        // /usr/lib/llvm-14/bin. Unversioned ones (/usr/lib/icecc/bin, /usr/lib/R/bin) hold
        // wrappers and private tools, not choices for the system's command.
        const std::string_view tree = nameOf(folderOf(folder));
        return !isCommandFolder(folder) && endsWith(folder, "/bin")
               && std::any_of(tree.begin(), tree.end(), [](char c) { return c >= '0' && c <= '9'; });
    }
    if (!isCommandFolder(folder) || name.size() <= command.size() + 1 || name.substr(0, command.size()) != command) {
        return false;
    }
    const char separator = name[command.size()];
    return separator == '.' || separator == '-';
}

std::vector<std::string> Alternatives::ruleKeywords(const std::string &command)
{
    return {command, command + ".?*", command + "-?*"};
}
