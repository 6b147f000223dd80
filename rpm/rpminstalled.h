#ifndef RPMINSTALLED_H
#define RPMINSTALLED_H

#include "installedpackages.h"

// The RPM database of this machine, read-only through librpm.
namespace RpmInstalled {

// Hands the reading below to InstalledPackages, for the rest of the process.
void install();

// Whether librpm finds a database of installed packages here.
bool available();
// The machine's native RPM architecture (uname's machine: x86_64, aarch64).
QString nativeArch();
// Every installed package called `name`; false with *error set when the database cannot
// be read.
bool versionsOf(const QString &name, QVector<InstalledPackages::Installed> &installed, QString *error);

} // namespace RpmInstalled

#endif // RPMINSTALLED_H
