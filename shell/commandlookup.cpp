#include "commandlookup.h"

#include "alternatives.h"

#include <filesearch.h>
#include <pathaliases.h>

#include <algorithm>
#include <limits>
#include <set>

namespace {

std::string nameOf(const std::string &path)
{
    return path.substr(path.rfind('/') + 1);
}

std::string folderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool inCommandFolder(const std::string &path)
{
    return Alternatives::isCommandFolder(folderOf(path));
}

bool hasWildcard(const std::string &text)
{
    return text.find_first_of("*?") != std::string::npos;
}

void sortUnique(std::vector<CommandFile> &files)
{
    std::sort(files.begin(), files.end(), [](const CommandFile &a, const CommandFile &b) {
        return a.pkg != b.pkg ? a.pkg < b.pkg : a.path < b.path;
    });
    files.erase(std::unique(files.begin(), files.end()), files.end());
}

} // namespace

CommandLookup::CommandLookup(sqlite3 *db)
    : db(db)
{
}

std::vector<CommandFile> CommandLookup::files(const std::string &keyword,
                                              const std::function<bool(const std::string &)> &keep) const
{
    std::vector<CommandFile> found;
    FileSearch search(db, keyword);
    for (const uint32_t pkg : search.packages()) {
        for (std::string &path : search.matchingFiles(pkg, std::numeric_limits<size_t>::max())) {
            if (keep(path)) {
                found.push_back({pkg, std::move(path)});
            }
        }
    }
    return found;
}

std::vector<CommandFile> CommandLookup::providers(const std::string &command) const
{
    if (command.empty() || command.find('/') != std::string::npos) {
        return {};
    }
    std::vector<CommandFile> found = files(command, [&command](const std::string &path) {
        return inCommandFolder(path) && nameOf(path) == command;
    });
    sortUnique(found);
    return found;
}

std::vector<CommandFile> CommandLookup::alternativeProviders(const std::string &command,
                                                             const Alternatives &alternatives) const
{
    if (command.empty() || command.find('/') != std::string::npos) {
        return {};
    }
    std::vector<CommandFile> found;
    const std::vector<std::string> targets = alternatives.targets(command);
    for (const std::string &target : targets) {
        if (target.empty() || target[0] != '/' || hasWildcard(target)) {
            continue;
        }
        const std::string other = PathAliases::otherName(target);
        const std::vector<CommandFile> shipped = files(target, [&](const std::string &path) {
            return path == target || path == other;
        });
        found.insert(found.end(), shipped.begin(), shipped.end());
    }
    if (targets.empty() && !hasWildcard(command)) {
        for (const std::string &keyword : Alternatives::ruleKeywords(command)) {
            const std::vector<CommandFile> shipped = files(keyword, [&command](const std::string &path) {
                return Alternatives::mayProvide(command, path);
            });
            found.insert(found.end(), shipped.begin(), shipped.end());
        }
    }
    sortUnique(found);
    return found;
}

std::vector<std::string> CommandLookup::nearKeywords(const std::string &command)
{
    std::set<std::string> keywords;
    for (size_t i = 0; i <= command.size(); ++i) {
        keywords.insert(command.substr(0, i) + "?" + command.substr(i)); // a letter added
        if (i == command.size()) {
            break;
        }
        keywords.insert(command.substr(0, i) + "?" + command.substr(i + 1)); // a letter changed
        if (command.size() > 1) {
            keywords.insert(command.substr(0, i) + command.substr(i + 1)); // a letter left out
        }
        if (i + 1 < command.size() && command[i] != command[i + 1]) {
            std::string swapped = command;
            std::swap(swapped[i], swapped[i + 1]);
            keywords.insert(swapped);
        }
    }
    keywords.erase(command);
    // A keyword that starts with "?" is looked up by the trigrams of the rest; with fewer
    // than three letters after it, every name holding the pair would be read (90 ms for
    // "?ti" on Debian's 7 million files), so a short command's first letter is taken as typed.
    // One letter before the "?" would read every name that starts with it (10-30 ms for
    // "g?i" or "g?cc-14"): with three letters or more after the "?", "*?" and the rest
    // finds a few more names by their trigrams, and editDistance() keeps the right ones;
    // with fewer, the second letter is taken as typed.
    std::vector<std::string> kept;
    for (const std::string &keyword : keywords) {
        const bool oneLetterFirst = keyword.size() >= 2 && keyword[0] != '?' && keyword[1] == '?';
        if ((keyword[0] == '?' && keyword.size() < 4) || (oneLetterFirst && keyword.size() < 5)) {
            continue;
        }
        kept.push_back(oneLetterFirst ? "*" + keyword.substr(1) : keyword);
    }
    return kept;
}

std::vector<CommandFile> CommandLookup::nearCommands(const std::string &command) const
{
    if (command.empty() || command.find('/') != std::string::npos || hasWildcard(command)) {
        return {};
    }
    std::vector<CommandFile> found;
    for (const std::string &keyword : nearKeywords(command)) {
        const std::vector<CommandFile> near = files(keyword, [&command](const std::string &path) {
            const std::string name = nameOf(path);
            return inCommandFolder(path) && name != command && editDistance(name, command) == 1;
        });
        found.insert(found.end(), near.begin(), near.end());
    }
    sortUnique(found);
    return found;
}

// The optimal string alignment distance over bytes.
int CommandLookup::editDistance(const std::string &a, const std::string &b)
{
    const size_t n = a.size(), m = b.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1, 0));
    for (size_t i = 0; i <= n; ++i) {
        d[i][0] = int(i);
    }
    for (size_t j = 0; j <= m; ++j) {
        d[0][j] = int(j);
    }
    for (size_t i = 1; i <= n; ++i) {
        for (size_t j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[n][m];
}
