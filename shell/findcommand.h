#ifndef FINDCOMMAND_H
#define FINDCOMMAND_H

// quorvi-find, the finder's command line: the same searches as the window's modes over the
// same catalogue, results on stdout, errors on stderr.
//
//   quorvi-find [OPTIONS] search KEYWORD         packages shipping matching files: "package: /path"
//   quorvi-find [OPTIONS] list PACKAGE[:ARCH]    every file of a package, sorted
//   quorvi-find [OPTIONS] show PACKAGE[:ARCH]    version, architecture, summary, section, installed state
//   quorvi-find [OPTIONS] names KEYWORD          package-name search: name-ver-rel.arch
//
// -l prints package names alone (search, names); --json one object a line, -0 ends each
// result with NUL; --catalogue FILE reads that catalogue instead of the one the finder
// would open.
//
// Exit status: 0 found, 1 nothing found, 2 usage error, 3 no catalogue or one it cannot
// read. On the search core: QtCore, no QtGui, QtWidgets or QtSql.

#include "lineoutput.h"

#include <string>
#include <vector>

class ShellCatalogue;

class FindCommand
{
public:
    enum Status { Found = 0, NothingFound = 1, UsageError = 2, CatalogueFailure = 3 };

    // Runs the command line (without the program's name) and returns the exit status.
    int run(const std::vector<std::string> &args);

private:
    bool parse(const std::vector<std::string> &args);
    int usage(const std::string &problem) const;
    int dispatch(ShellCatalogue &catalogue, LineOutput &out);
    int search(ShellCatalogue &catalogue, LineOutput &out);
    int list(ShellCatalogue &catalogue, LineOutput &out);
    int show(ShellCatalogue &catalogue, LineOutput &out);
    int names(ShellCatalogue &catalogue, LineOutput &out);
    std::string cataloguePath() const;

    std::string action;
    std::string operand;
    std::string catalogue;
    bool namesOnly = false;
    bool json = false;
    bool nulEnds = false;
    bool help = false;
};

#endif // FINDCOMMAND_H
