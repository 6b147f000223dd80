#include "rpminstalled.h"

#include <QCoreApplication>
#include <QFile>
#include <mutex>

#include <rpm/header.h>
#include <rpm/rpmdb.h>
#include <rpm/rpmlib.h>
#include <rpm/rpmmacro.h>
#include <rpm/rpmts.h>

#include <fcntl.h>
#include <cstdlib>
#include <sys/utsname.h>

namespace {

// librpm's configuration is process-wide: one reader at a time.
std::mutex rpmMutex;

// librpm's configuration for the time of one read.
class RpmConfig
{
public:
    RpmConfig() : ok(rpmReadConfigFiles(nullptr, nullptr) == 0) {}
    ~RpmConfig()
    {
        rpmFreeMacros(nullptr);
        rpmFreeRpmrc();
    }
    const bool ok;
};

QString stringTag(Header h, rpmTagVal tag)
{
    const char *value = headerGetString(h, tag);
    return value ? QString::fromUtf8(value) : QString();
}

QString versionOf(Header h)
{
    QString version = stringTag(h, RPMTAG_VERSION) + QLatin1Char('-') + stringTag(h, RPMTAG_RELEASE);
    const quint64 epoch = headerIsEntry(h, RPMTAG_EPOCH) ? headerGetNumber(h, RPMTAG_EPOCH) : 0;
    return epoch ? QString::number(epoch) + QLatin1Char(':') + version : version;
}

} // namespace

namespace RpmInstalled {

void install()
{
    InstalledPackages::setRpmReader({available, nativeArch, versionsOf});
}

bool available()
{
    std::lock_guard<std::mutex> locker(rpmMutex);
    RpmConfig config;
    if (!config.ok) {
        return false;
    }
    char *path = rpmExpand("%{?_dbpath}", nullptr);
    const QString dir = QString::fromLocal8Bit(path ? path : "");
    free(path);
    for (const char *file : {"/rpmdb.sqlite", "/Packages.db", "/Packages"}) {
        if (!dir.isEmpty() && QFile::exists(dir + QLatin1String(file))) {
            return true;
        }
    }
    return false;
}

QString nativeArch()
{
    struct utsname machine;
    return uname(&machine) == 0 ? QString::fromLatin1(machine.machine) : QString();
}

bool versionsOf(const QString &name, QVector<InstalledPackages::Installed> &installed, QString *error)
{
    std::lock_guard<std::mutex> locker(rpmMutex);
    RpmConfig config;
    rpmts ts = config.ok ? rpmtsCreate() : nullptr;
    if (!ts || rpmtsOpenDB(ts, O_RDONLY) != 0) {
        *error = QCoreApplication::translate("PackageDetailsWindow", "无法打开 RPM 数据库");
        if (ts) {
            rpmtsFree(ts);
        }
        return false;
    }
    const QByteArray key = name.toUtf8();
    rpmdbMatchIterator mi = rpmtsInitIterator(ts, RPMDBI_NAME, key.constData(), size_t(key.size()));
    while (Header h = rpmdbNextIterator(mi))
        installed.append({stringTag(h, RPMTAG_ARCH), versionOf(h), QStringLiteral("installed")});
    rpmdbFreeIterator(mi);
    rpmtsFree(ts);
    return true;
}

} // namespace RpmInstalled
