#ifndef INSTALLCOMMAND_H
#define INSTALLCOMMAND_H

#include "catalogueerror.h"

#include <QString>
#include <QVector>

#include <utility>

class InstalledPackages;
struct sqlite3;

// One shell command that installs packages of the catalogue with this machine's package
// manager: "sudo apt install -- a b:i386 c" (dpkg), "sudo dnf install -- a b.i686" (rpm). Only
// names within the manager's own rule go in (PackageNameRule), with a foreign architecture
// only of letters, digits and "_+.-": no word can be an option to apt or dnf, or more than
// one word to the shell. The others are left out and counted, as are repeated words and
// packages past maxPackages.
class InstallCommand
{
public:
    static constexpr int maxPackages = 1000;

    QString text;     // empty where no package could go in
    int packages = 0; // the words after "install"
    int leftOut = 0;
    CatalogueError error;

    // From (name, architecture) pairs, in their order.
    static InstallCommand make(const InstalledPackages &machine, const QVector<std::pair<QString, QString>> &packages);
    // The packages of the catalogue rows with these ids (ids not found are left out).
    static InstallCommand read(sqlite3 *db, const QVector<qint64> &ids, const InstalledPackages &machine);
};

#endif // INSTALLCOMMAND_H
