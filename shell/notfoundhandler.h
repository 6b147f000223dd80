#ifndef NOTFOUNDHANDLER_H
#define NOTFOUNDHANDLER_H

// quorvi-command-not-found COMMAND: what a shell's command-not-found hook runs. It says on
// stderr, in the window's language, where the command is: installed but in a folder not
// on PATH; in the packages that ship it in a command folder, with the command that
// installs each; in the packages update-alternatives leads it to; else up to three near
// names. It never prompts and needs no network. Without a catalogue of the current format
// it prints the shell's usual "COMMAND: command not found" line only. Always exit status
// 127, as the shell's own. On the search core: QtCore, no QtGui, QtWidgets or QtSql.

#include <string>
#include <vector>

class ShellCatalogue;
struct CommandFile;

class NotFoundHandler
{
public:
    static constexpr int exitStatus = 127;

    // catalogue: a file to read instead of the one the finder would open ("" for that).
    explicit NotFoundHandler(std::string catalogue = {});
    // Writes the answer for the command to stderr; returns 127.
    int run(const std::string &command);

    // The first command folder that holds the command as an executable file while no
    // folder of PATH is that folder (or its merged-/usr twin); "" when there is none.
    static std::string offPath(const std::string &command, const std::string &path);

private:
    bool answerFromCatalogue(ShellCatalogue &catalogue, const std::string &command);
    void installLines(ShellCatalogue &catalogue, const std::vector<CommandFile> &files);
    void nearLines(ShellCatalogue &catalogue, const std::string &command, std::vector<CommandFile> near);

    std::string cataloguePath;
};

#endif // NOTFOUNDHANDLER_H
