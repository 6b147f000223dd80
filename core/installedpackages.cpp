#include "installedpackages.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <mutex>

#include <sys/utsname.h>

namespace {

const char defaultStatusFile[] = "/var/lib/dpkg/status";

std::mutex systemMutex;
bool systemSet = false;
InstalledPackages *systemOverride()
{
    static InstalledPackages packages;
    return &packages;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("PackageDetailsWindow", text);
}

InstalledPackages::RpmReader &rpmReader()
{
    static InstalledPackages::RpmReader reader;
    return reader;
}

InstalledPackages::RpmReader currentRpmReader()
{
    std::lock_guard<std::mutex> locker(systemMutex);
    return rpmReader();
}

QByteArray fieldOf(const QByteArray &stanza, const char *field);
QString unameArch();

// The architecture dpkg installs natively, read without starting dpkg: dpkg itself is
// always installed in the native architecture, so its own stanza of the status file
// names it; a status file without it falls back on the kernel's machine name in
// Debian's words.
QString dpkgNativeArch(const QString &statusFile)
{
    QFile file(statusFile);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray text = file.readAll();
        const QByteArray wanted = "Package: dpkg\n";
        const int at = text.startsWith(wanted) ? 0 : text.indexOf('\n' + wanted);
        if (at >= 0) {
            const int end = text.indexOf("\n\n", at + 1);
            const QByteArray arch = fieldOf(text.mid(at, end < 0 ? -1 : end - at), "Architecture");
            if (!arch.isEmpty() && arch != "all") {
                return QString::fromLatin1(arch);
            }
        }
    }
    return unameArch();
}

QString unameArch()
{
    static const QList<QPair<QString, QString>> debianNames{
        {"x86_64", "amd64"}, {"aarch64", "arm64"}, {"i686", "i386"}, {"i586", "i386"}, {"i486", "i386"},
        {"i386", "i386"}, {"armv7l", "armhf"}, {"ppc64le", "ppc64el"}, {"s390x", "s390x"},
        {"riscv64", "riscv64"}, {"mips64", "mips64el"}, {"loongarch64", "loong64"}};
    struct utsname machine;
    if (uname(&machine) != 0) {
        return QString();
    }
    const QString name = QString::fromLatin1(machine.machine);
    for (const auto &pair : debianNames) {
        if (pair.first == name) {
            return pair.second;
        }
    }
    return name;
}

// The package's files are on disk in each of these states (as the builder reads them).
bool filesOnDisk(const QByteArray &state)
{
    for (const char *onDisk : {"installed", "half-configured", "unpacked", "half-installed", "triggers-awaited",
                               "triggers-pending"}) {
        if (state == onDisk) {
            return true;
        }
    }
    return false;
}

// The value of a "Field: value" line of one stanza, or nothing.
QByteArray fieldOf(const QByteArray &stanza, const char *field)
{
    const QByteArray start = QByteArray(field) + ':';
    int at = stanza.startsWith(start) ? 0 : stanza.indexOf('\n' + start);
    if (at < 0) {
        return QByteArray();
    }
    at = stanza.indexOf(':', at) + 1;
    const int end = stanza.indexOf('\n', at);
    return stanza.mid(at, end < 0 ? -1 : end - at).trimmed();
}

bool looksRpm(const QString &arch)
{
    static const QStringList rpmArches{"x86_64", "noarch", "i686", "i586", "aarch64", "ppc64le", "s390x", "armv7hl",
                                       "src"};
    return rpmArches.contains(arch);
}

} // namespace

InstalledPackages InstalledPackages::system()
{
    {
        std::lock_guard<std::mutex> locker(systemMutex);
        if (systemSet) {
            return *systemOverride();
        }
    }
    const QString status = qEnvironmentVariableIsEmpty("QUORVI_DPKG_STATUS")
                               ? QString::fromLatin1(defaultStatusFile)
                               : qEnvironmentVariable("QUORVI_DPKG_STATUS");
    if (QFileInfo::exists(status)) {
        return dpkg(status, dpkgNativeArch(status));
    }
    InstalledPackages packages;
    const RpmReader reader = currentRpmReader();
    if (reader.available && reader.available()) {
        packages.kind = Manager::Rpm;
        packages.native = reader.nativeArch();
    }
    return packages;
}

void InstalledPackages::setRpmReader(const RpmReader &reader)
{
    std::lock_guard<std::mutex> locker(systemMutex);
    rpmReader() = reader;
}

void InstalledPackages::setSystem(const InstalledPackages &packages)
{
    std::lock_guard<std::mutex> locker(systemMutex);
    *systemOverride() = packages;
    systemSet = true;
}

InstalledPackages InstalledPackages::dpkg(const QString &statusFile, const QString &nativeArch)
{
    InstalledPackages packages;
    packages.kind = Manager::Dpkg;
    packages.status = statusFile;
    packages.native = nativeArch;
    return packages;
}

bool InstalledPackages::versionsOf(const QString &name, QVector<Installed> &installed, QString *error) const
{
    installed.clear();
    switch (kind) {
    case Manager::Dpkg:
        return dpkgVersionsOf(name, installed, error);
    case Manager::Rpm: {
        const RpmReader reader = currentRpmReader();
        return reader.versionsOf ? reader.versionsOf(name, installed, error) : true;
    }
    case Manager::None:
        break;
    }
    return true;
}

// The status file is read whole (a few MiB at most) and its stanzas of that name looked
// at; dpkg replaces the file by rename, so a read never sees half of it.
bool InstalledPackages::dpkgVersionsOf(const QString &name, QVector<Installed> &installed, QString *error) const
{
    QFile file(status);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("无法读取 %1：%2").arg(status, file.errorString());
        return false;
    }
    const QByteArray text = file.readAll();
    const QByteArray wanted = "Package: " + name.toUtf8() + '\n';
    for (int at = text.startsWith(wanted) ? 0 : text.indexOf('\n' + wanted); at >= 0;
         at = text.indexOf('\n' + wanted, at + 1)) {
        const int end = text.indexOf("\n\n", at + 1);
        const QByteArray stanza = text.mid(at == 0 ? 0 : at + 1, end < 0 ? -1 : end - at);
        const QByteArray statusWords = fieldOf(stanza, "Status");
        const QByteArray state = statusWords.mid(statusWords.lastIndexOf(' ') + 1);
        if (filesOnDisk(state)) {
            installed.append({QString::fromUtf8(fieldOf(stanza, "Architecture")),
                              QString::fromUtf8(fieldOf(stanza, "Version")), QString::fromUtf8(state)});
        }
    }
    return true;
}

bool InstalledPackages::isForeign(const QString &arch) const
{
    if (arch == QLatin1String("all") || arch == QLatin1String("noarch") || native.isEmpty()) {
        return false;
    }
    return arch != native;
}

QString InstalledPackages::installCommand(const QString &name, const QString &arch) const
{
    const bool rpm = kind == Manager::Rpm || (kind == Manager::None && looksRpm(arch));
    if (rpm) {
        return QStringLiteral("sudo dnf install ") + name + (isForeign(arch) ? QLatin1Char('.') + arch : QString());
    }
    return QStringLiteral("sudo apt install ") + name + (isForeign(arch) ? QLatin1Char(':') + arch : QString());
}
