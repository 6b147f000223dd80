#ifndef INSTALLEDPACKAGES_H
#define INSTALLEDPACKAGES_H

#include <QString>
#include <QVector>

#include <functional>

// What this machine's package manager has installed, read when asked (never kept, never
// written): dpkg's status file where there is one, else the RPM database through librpm.
// It also says how this machine installs a package: the command and whether an
// architecture is foreign to it (not the native one, nor "all"/"noarch").
class InstalledPackages
{
public:
    enum class Manager { None, Dpkg, Rpm };
    struct Installed
    {
        QString arch;
        QString version; // as the manager writes it, the epoch included
        QString state;   // dpkg's state word ("installed", "unpacked", ...); "installed" for rpm
    };

    // How the RPM database is read: through librpm, in a library of its own
    // (RpmInstalled::install() hands it over); a program without it knows no RPM database.
    struct RpmReader
    {
        std::function<bool()> available;
        std::function<QString()> nativeArch;
        std::function<bool(const QString &name, QVector<Installed> &installed, QString *error)> versionsOf;
    };
    static void setRpmReader(const RpmReader &reader);

    // This machine: dpkg when its status file exists (QUORVI_DPKG_STATUS names another
    // one), else rpm when the RPM reader finds a database; or what setSystem() gave.
    static InstalledPackages system();
    // Replaces what system() returns for the rest of the process (the tests' status files).
    static void setSystem(const InstalledPackages &packages);
    static InstalledPackages dpkg(const QString &statusFile, const QString &nativeArch);

    Manager manager() const { return kind; }
    QString nativeArch() const { return native; }
    QString statusFile() const { return status; }

    // Every installed architecture of the package called `name` (files on disk), read
    // now; false with *error set when the manager's records cannot be read.
    bool versionsOf(const QString &name, QVector<Installed> &installed, QString *error) const;
    bool isForeign(const QString &arch) const;
    // "sudo apt install NAME[:ARCH]" or "sudo dnf install NAME[.ARCH]"; where the machine
    // has neither manager, the architecture's naming tells which kind the package is.
    QString installCommand(const QString &name, const QString &arch) const;

private:
    bool dpkgVersionsOf(const QString &name, QVector<Installed> &installed, QString *error) const;

    Manager kind = Manager::None;
    QString status;
    QString native;
};

#endif // INSTALLEDPACKAGES_H
