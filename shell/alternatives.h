#ifndef ALTERNATIVES_H
#define ALTERNATIVES_H

// Commands that update-alternatives makes (editor, awk, java, pager): their links are made
// by maintainer scripts and are in no package's file list. Two sources say which files
// such a command may lead to:
// - dpkg's alternatives database (/var/lib/dpkg/alternatives/NAME) for those registered
//   on this machine: each link with the file of every choice;
// - for the rest, a rule over the files packages ship: a file named COMMAND.something or
//   COMMAND-something in a command folder (vim.basic, vim.tiny, pinentry-curses), or one
//   named COMMAND in the bin folder of a versioned tree
//   (/usr/lib/jvm/java-17-openjdk-amd64/bin/java, /usr/lib/llvm-14/bin/clang).
// No Qt: the command-not-found handler reads it on every unknown command.

#include <map>
#include <string>
#include <string_view>
#include <vector>

class Alternatives
{
public:
    static constexpr const char *databaseFolder = "/var/lib/dpkg/alternatives";

    // Reads every file of the folder; one that does not parse is left out.
    static Alternatives read(const std::string &folder);
    // Reads dpkg's database (QUORVI_ALTERNATIVES names another folder, as
    // QUORVI_DPKG_STATUS does dpkg's status file).
    static Alternatives read();

    // The files the registered choices of a command link to, in the database's order;
    // empty when no link of that name in a command folder is registered.
    std::vector<std::string> targets(const std::string &command) const;
    // Every registered link name in a command folder, sorted.
    std::vector<std::string> commands() const;

    // Whether the folder is one a shell looks a command up in: /usr/bin, /bin, /usr/sbin,
    // /sbin, /usr/games.
    static bool isCommandFolder(std::string_view folder);
    // The rule for commands that are not registered here: whether a file a package ships
    // may be a choice for the command.
    static bool mayProvide(std::string_view command, std::string_view path);
    // The file-name keywords whose matches hold every file mayProvide() accepts.
    static std::vector<std::string> ruleKeywords(const std::string &command);

private:
    void parse(const std::string &name, const std::string &text);

    std::map<std::string, std::vector<std::string>> links;
};

#endif // ALTERNATIVES_H
