#ifndef COMMANDLOOKUP_H
#define COMMANDLOOKUP_H

// Which packages of a catalogue provide a command: the files of that name they ship in the
// folders a shell looks commands up in (/usr/bin, /bin, /usr/sbin, /sbin, /usr/games), the
// files update-alternatives leads the command to, and the commands one edit away (a
// letter changed, added, left out, or two neighbours swapped) for a mistyped name. The
// command is a literal name: "*" and "?" in it match only themselves. No Qt.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;
class Alternatives;

struct CommandFile
{
    uint32_t pkg = 0;  // the package's id in the catalogue
    std::string path;  // as the package ships it
    bool operator==(const CommandFile &other) const { return pkg == other.pkg && path == other.path; }
};

class CommandLookup
{
public:
    // db: an open catalogue of the current format; it must outlive the lookup.
    explicit CommandLookup(sqlite3 *db);

    // The files named `command` in a command folder, by package id, then path.
    std::vector<CommandFile> providers(const std::string &command) const;
    // The files the command's alternatives lead to: the registered choices when the
    // database has the command, else the files Alternatives::mayProvide() accepts.
    std::vector<CommandFile> alternativeProviders(const std::string &command, const Alternatives &alternatives) const;
    // The commands one edit away that a package ships in a command folder.
    std::vector<CommandFile> nearCommands(const std::string &command) const;

    // File-name keywords whose matches hold the names one edit away from the command (a
    // "?" for the changed or added letter, "*?" where one letter would come first); the
    // command's own name is not among them, nor a first or second letter changed or
    // added before fewer than three letters (each would read a whole letter's names).
    static std::vector<std::string> nearKeywords(const std::string &command);
    // Letters changed, added or left out, and neighbours swapped, between two names.
    static int editDistance(const std::string &a, const std::string &b);

private:
    // The files of the packages that ship a match of the keyword, that `keep` accepts.
    std::vector<CommandFile> files(const std::string &keyword, const std::function<bool(const std::string &)> &keep) const;

    sqlite3 *db;
};

#endif // COMMANDLOOKUP_H
