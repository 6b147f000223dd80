// --system and --user: where they write, what they build from when no source is named,
// and when they find nothing to do.

#include "atomicoutput.h"
#include "catalogtestsupport.h"
#include "cataloguefreshness.h"
#include "machinecatalogue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <catalogueschema.h>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/types.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

using namespace CatalogTest;

namespace {
timespec changeTime(const QString &path)
{
    struct stat st = {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0) {
        return timespec{};
    }
    const bool changedLater = st.st_ctim.tv_sec != st.st_mtim.tv_sec ? st.st_ctim.tv_sec > st.st_mtim.tv_sec
                                                                     : st.st_ctim.tv_nsec > st.st_mtim.tv_nsec;
    return changedLater ? st.st_ctim : st.st_mtim;
}

bool setModified(const QString &path, timespec when)
{
    const timespec times[2] = {{0, UTIME_OMIT}, when};
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

timespec shifted(timespec t, long seconds)
{
    t.tv_sec += seconds;
    return t;
}

bool copyTo(const QString &from, const QString &to)
{
    return QFile::copy(from, to);
}
} // namespace

class MachineCatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void userPath_data();
    void userPath();
    void machineSource_data();
    void machineSource();
    void userCatalogueIsBuiltInPrivateFolders();
    void unchangedInputsAreNotReadAgain();
    void changedInputMakesItStale_data();
    void changedInputMakesItStale();
    void forceBuildsAnyway();
    void waitsForAnotherBuild();
    void noWaitWhileAnotherBuildRuns();
    void listArrivingDuringTheWaitIsRead();
    void listChangedDuringTheBuildIsReadAgain();
    void killedAfterItsRenameLosesNoChange();
    void badEntriesAreSkippedAndCounted();
    void foldersAndLockRefused_data();
    void foldersAndLockRefused();
    void modesWhateverTheUmask_data();
    void modesWhateverTheUmask();
    void rpmDatabaseFilesAreInputs();
    void systemNeedsRoot();
    void usageErrors_data();
    void usageErrors();

private:
    QString userCatalogue() const { return m_dir->filePath("cache/quorvi/os_pkg_list.db"); }
    QString lists() const { return m_dir->filePath("lists"); }
    Run buildUser(const QStringList &extra = {});
    int holdLock();
    bool startPhased(QProcess &process, const QStringList &extra = {});
    bool passPhasesUpTo(QProcess &process, const QString &phase);

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_savedXdg;
    bool m_xdgWasSet = false;
};

void MachineCatalogueTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_xdgWasSet = qEnvironmentVariableIsSet("XDG_CACHE_HOME");
    m_savedXdg = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir->filePath("cache")));
    // A folder laid out like apt's lists: one Packages and one Contents index.
    QVERIFY(QDir().mkpath(lists()));
    QVERIFY(copyTo(dataPath("Packages"), lists() + "/deb.example.org_debian_dists_x_main_binary-amd64_Packages"));
    QVERIFY(copyTo(dataPath("Contents"), lists() + "/deb.example.org_debian_dists_x_main_Contents-amd64"));
}

void MachineCatalogueTest::cleanup()
{
    if (m_xdgWasSet) {
        qputenv("XDG_CACHE_HOME", m_savedXdg);
    } else {
        qunsetenv("XDG_CACHE_HOME");
    }
    m_dir.reset();
}

Run MachineCatalogueTest::buildUser(const QStringList &extra)
{
    return runBuilder(QStringList{"--user", "--quiet", "--apt-lists", lists()} + extra);
}

void MachineCatalogueTest::userPath_data()
{
    QTest::addColumn<QByteArray>("xdg");
    QTest::addColumn<QString>("expected");
    QTest::newRow("absolute") << QByteArray("/srv/cache") << "/srv/cache/quorvi/os_pkg_list.db";
    QTest::newRow("trailing slash") << QByteArray("/srv/cache//") << "/srv/cache/quorvi/os_pkg_list.db";
    QTest::newRow("unset") << QByteArray() << "/home/ann/.cache/quorvi/os_pkg_list.db";
    QTest::newRow("empty") << QByteArray("") << "/home/ann/.cache/quorvi/os_pkg_list.db";
    QTest::newRow("relative is ignored") << QByteArray("cache") << "/home/ann/.cache/quorvi/os_pkg_list.db";
}

void MachineCatalogueTest::userPath()
{
    QFETCH(QByteArray, xdg);
    QFETCH(QString, expected);
    const std::string path = MachineCatalogue::userPath(xdg.isNull() ? nullptr : xdg.constData(), "/home/ann");
    QCOMPARE(QString::fromStdString(path), expected);
}

void MachineCatalogueTest::machineSource_data()
{
    QTest::addColumn<QStringList>("listFiles");
    QTest::addColumn<bool>("dpkgStatus");
    QTest::addColumn<int>("expected");
    const int apt = int(MachineCatalogue::Source::AptLists);
    const int dpkg = int(MachineCatalogue::Source::Dpkg);
    const int none = int(MachineCatalogue::Source::None);
    const QString packages = "deb.example.org_debian_dists_x_main_binary-amd64_Packages.lz4";
    QTest::newRow("apt lists win") << QStringList{packages} << true << apt;
    QTest::newRow("apt lists alone") << QStringList{packages} << false << apt;
    QTest::newRow("no Packages index: dpkg")
        << QStringList{"deb.example.org_debian_dists_x_InRelease", "lock",
                       "deb.example.org_debian_dists_x_main_binary-amd64_Packages.diff_Index"}
        << true << dpkg;
    QTest::newRow("empty lists: dpkg") << QStringList{} << true << dpkg;
    QTest::newRow("neither") << QStringList{} << false << none;
}

void MachineCatalogueTest::machineSource()
{
    QFETCH(QStringList, listFiles);
    QFETCH(bool, dpkgStatus);
    QFETCH(int, expected);
    const QString apt = m_dir->filePath("apt-lists");
    const QString dpkg = m_dir->filePath("dpkg");
    QVERIFY(QDir().mkpath(apt));
    QVERIFY(QDir().mkpath(dpkg));
    for (const QString &name : listFiles)
        QVERIFY(writeBytes(apt + "/" + name, "x"));
    if (dpkgStatus) {
        QVERIFY(writeBytes(dpkg + "/status", ""));
    }
    QCOMPARE(int(MachineCatalogue::machineSource(apt.toStdString(), dpkg.toStdString())), expected);
}

void MachineCatalogueTest::userCatalogueIsBuiltInPrivateFolders()
{
    const Run run = buildUser();
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(userCatalogue()), qPrintable(run.out));
    QCOMPARE(packageRows(userCatalogue()).size(), 8);
    QVERIFY(!fileRows(userCatalogue()).isEmpty());
    QCOMPARE(QFileInfo(m_dir->filePath("cache/quorvi")).permissions() & 0x0077, QFileDevice::Permissions());
}

// A catalogue newer than every input: the builder says so and leaves the file as it is.
void MachineCatalogueTest::unchangedInputsAreNotReadAgain()
{
    QCOMPARE(buildUser().exitCode, 0);
    timespec newest = changeTime(lists());
    for (const QString &name : QDir(lists()).entryList(QDir::Files)) {
        const timespec t = changeTime(lists() + "/" + name);
        if (t.tv_sec > newest.tv_sec) {
            newest = t;
        }
    }
    QVERIFY(setModified(userCatalogue(), shifted(newest, 2)));
    const QByteArray before = readBytes(userCatalogue());

    const Run run = buildUser();
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("newer than every input"), qPrintable(run.out));
    QVERIFY(!run.out.contains("packages,"));
    QCOMPARE(readBytes(userCatalogue()), before);
    QCOMPARE(changeTime(userCatalogue()).tv_sec, shifted(newest, 2).tv_sec);
}

void MachineCatalogueTest::changedInputMakesItStale_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("second"); // the second run's sources and options
    const QStringList same{"--apt-lists", "@lists"};
    QTest::newRow("Packages index replaced") << "packages" << same;
    QTest::newRow("Contents index removed") << "removed" << same;
    QTest::newRow("arrived with an old modification time") << "old mtime" << same;
    // Nothing changed on disk: what the catalogue records of its build decides.
    QTest::newRow("--all-versions added") << "none" << same + QStringList{"--all-versions"};
    QTest::newRow("other --packages added") << "none" << same + QStringList{"--packages", dataPath("Packages")};
    QTest::newRow("other --packages instead") << "none" << QStringList{"--packages", dataPath("Packages")};
    QTest::newRow("another format version") << "version" << same;
    QTest::newRow("no build record") << "record" << same;
}

// The catalogue is dated just before the change: what changed must count as newer.
void MachineCatalogueTest::changedInputMakesItStale()
{
    QFETCH(QString, change);
    QFETCH(QStringList, second);
    second.replaceInStrings(QRegularExpression("^@lists$"), lists());
    QCOMPARE(buildUser().exitCode, 0);
    const QString packages = lists() + "/deb.example.org_debian_dists_x_main_binary-amd64_Packages";
    const QString contents = lists() + "/deb.example.org_debian_dists_x_main_Contents-amd64";
    QString changed = packages;
    if (change == "packages") {
        QVERIFY(QFile::remove(packages));
        QVERIFY(copyTo(dataPath("Packages"), packages));
    } else if (change == "removed") {
        QVERIFY(QFile::remove(contents));
        changed = lists();
    } else if (change == "old mtime") {
        // apt dates a fetched index by the server's time, which may lie before the catalogue.
        // Every other input is dated back too: only the index's change time says it is new.
        QVERIFY(setModified(packages, timespec{1000000000, 0}));
        QVERIFY(setModified(contents, timespec{1000000000, 0}));
        QVERIFY(setModified(lists(), timespec{1000000000, 0}));
    } else if (change == "version") {
        QCOMPARE(query(userCatalogue(), "PRAGMA user_version = 1", false), QStringList());
    } else if (change == "record") {
        QCOMPARE(query(userCatalogue(), "DROP TABLE qv_build_t", false), QStringList());
    }
    const timespec dated = change == "packages" || change == "removed" || change == "old mtime"
                               ? shifted(changeTime(changed), -1)
                               : shifted(CatalogueFreshness::now(), 3600);
    QVERIFY(setModified(userCatalogue(), dated));
    QVERIFY(changeTime(userCatalogue()).tv_sec > 1000000000);

    const Run run = runBuilder(QStringList{"--user", "--quiet"} + second);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(" packages, "), qPrintable(run.out + run.err));
    QCOMPARE(schemaNames(userCatalogue()).contains(QV_PKG_FILES_TABLE),
             second.contains(lists()) && change != "removed");
    // The new catalogue records its own build: the same run again has nothing to do.
    QVERIFY(setModified(userCatalogue(), shifted(CatalogueFreshness::now(), 3600)));
    QVERIFY(runBuilder(QStringList{"--user", "--quiet"} + second).out.contains("nothing to do"));
}

void MachineCatalogueTest::forceBuildsAnyway()
{
    QCOMPARE(buildUser().exitCode, 0);
    QVERIFY(setModified(userCatalogue(), shifted(CatalogueFreshness::now(), 3600)));
    QVERIFY(buildUser().out.contains("newer than every input"));
    const Run run = buildUser({"--force"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("8 packages"), qPrintable(run.out));
    QVERIFY(changeTime(userCatalogue()).tv_sec < shifted(CatalogueFreshness::now(), 3600).tv_sec);
}

int MachineCatalogueTest::holdLock()
{
    if (!QDir().mkpath(QFileInfo(userCatalogue()).path())) {
        return -1;
    }
    const QByteArray lockPath = QFile::encodeName(m_dir->filePath("cache/quorvi/.os_pkg_list.db.lock"));
    const int fd = open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0 && flock(fd, LOCK_EX) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// While another build holds the catalogue's lock, a second one waits instead of racing it.
void MachineCatalogueTest::waitsForAnotherBuild()
{
    const int fd = holdLock();
    QVERIFY(fd >= 0);

    QProcess process;
    process.start(QStringLiteral(QUORVI_CATALOG_BIN), {"--user", "--quiet", "--apt-lists", lists()});
    QVERIFY(process.waitForStarted());
    // It cannot finish while the lock is held, however fast or slow the machine is.
    QVERIFY(!process.waitForFinished(500));
    QVERIFY(!QFile::exists(userCatalogue()));
    flock(fd, LOCK_UN);
    close(fd);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(packageRows(userCatalogue()).size(), 8);
}

// The apt hook's build: with the lock held elsewhere it says so in one line and ends.
void MachineCatalogueTest::noWaitWhileAnotherBuildRuns()
{
    const int fd = holdLock();
    QVERIFY(fd >= 0);
    const Run run = buildUser({"--no-wait"});
    close(fd);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.count('\n'), 1);
    QVERIFY2(run.out.startsWith("quorvi-catalog: another build of " + userCatalogue() + " is running"),
             qPrintable(run.out + run.err));
    QVERIFY(!QFile::exists(userCatalogue()));
}

// A list that apt adds while the build waits for another one's lock is read: the lists
// folder is looked at only once the lock is held. The builder stops at its first phase,
// after reading its command line.
void MachineCatalogueTest::listArrivingDuringTheWaitIsRead()
{
    const int fd = holdLock();
    QVERIFY(fd >= 0);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVI_CATALOG_PHASES", "1");
    process.setProcessEnvironment(env);
    process.setReadChannel(QProcess::StandardError);
    process.start(QStringLiteral(QUORVI_CATALOG_BIN), {"--user", "--quiet", "--apt-lists", lists()});
    while (!process.canReadLine() && process.waitForReadyRead(60000)) {
    }
    QCOMPARE(QString::fromUtf8(process.readLine()), QString("quorvi-catalog: phase started\n"));
    QVERIFY(writeBytes(lists() + "/deb.example.org_debian_dists_x_main_binary-i386_Packages",
                       "Package: newcomer\nVersion: 1-2\nArchitecture: i386\n"));
    process.closeWriteChannel(); // every later phase goes on at once
    flock(fd, LOCK_UN);
    close(fd);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(packageRows(userCatalogue()).contains("newcomer|1|2|i386"));
}

bool MachineCatalogueTest::startPhased(QProcess &process, const QStringList &extra)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVI_CATALOG_PHASES", "1");
    process.setProcessEnvironment(env);
    process.setReadChannel(QProcess::StandardError);
    process.start(QStringLiteral(QUORVI_CATALOG_BIN), QStringList{"--user", "--quiet", "--apt-lists", lists()} + extra);
    return process.waitForStarted();
}

// Lets the builder pass each phase it announces until `phase`, where it then waits.
bool MachineCatalogueTest::passPhasesUpTo(QProcess &process, const QString &phase)
{
    const QString announce = QStringLiteral("quorvi-catalog: phase ");
    for (;;) {
        while (!process.canReadLine() && process.waitForReadyRead(60000)) {
        }
        if (!process.canReadLine()) {
            return false;
        }
        const QString line = QString::fromUtf8(process.readLine()).trimmed();
        if (line == announce + phase) {
            return true;
        }
        if (line.startsWith(announce)) {
            process.write("\n");
            process.waitForBytesWritten(-1);
        }
    }
}

// apt adds a list while the hook's previous build runs: the second hook run (--no-wait)
// finds the lock held and ends, and the running build builds once more after its rename.
void MachineCatalogueTest::listChangedDuringTheBuildIsReadAgain()
{
    QProcess running;
    QVERIFY(startPhased(running));
    QVERIFY(passPhasesUpTo(running, "written"));
    QVERIFY(writeBytes(lists() + "/deb.example.org_debian_dists_x_main_binary-i386_Packages",
                       "Package: newcomer\nVersion: 1-2\nArchitecture: i386\n"));
    const Run second = buildUser({"--no-wait"});
    QCOMPARE(second.exitCode, 0);
    QVERIFY2(second.out.contains("is running"), qPrintable(second.out + second.err));
    running.closeWriteChannel(); // every later phase goes on at once
    QVERIFY(running.waitForFinished(60000));
    QCOMPARE(running.exitCode(), 0);
    QVERIFY(packageRows(userCatalogue()).contains("newcomer|1|2|i386"));
    QVERIFY(!QFile::exists(m_dir->filePath("cache/quorvi/.os_pkg_list.db.again")));
}

// A build killed between its rename and its end leaves a catalogue dated when its inputs
// were looked at: an index that apt rewrote after the build had read it (same name, so
// the recorded sources are the same) still makes the next run build.
void MachineCatalogueTest::killedAfterItsRenameLosesNoChange()
{
    const QString packages = lists() + "/deb.example.org_debian_dists_x_main_binary-amd64_Packages";
    QProcess running;
    QVERIFY(startPhased(running));
    QVERIFY(passPhasesUpTo(running, "reading file lists")); // every Packages index is read
    QVERIFY(writeBytes(packages, readBytes(packages) + "\nPackage: newcomer\nVersion: 1-2\nArchitecture: i386\n"));
    running.write("\n");
    QVERIFY(passPhasesUpTo(running, "renamed"));
    running.kill();
    QVERIFY(running.waitForFinished(60000));
    QVERIFY(!packageRows(userCatalogue()).contains("newcomer|1|2|i386"));

    const Run next = buildUser();
    QCOMPARE(next.exitCode, 0);
    QVERIFY2(next.out.contains(" packages, "), qPrintable(next.out + next.err));
    QVERIFY(packageRows(userCatalogue()).contains("newcomer|1|2|i386"));
}

// The machine's catalogue is built from what can be read: a bad stanza of one list, an
// over-long Contents line and a name outside Debian's rule are skipped and counted, a
// binary list is left out with its reason. A build with explicit inputs stops at the
// bad stanza as before; names outside the rule are left out there too.
void MachineCatalogueTest::badEntriesAreSkippedAndCounted()
{
    const QString second = lists() + "/other.example.org_dists_y_main_binary-amd64_Packages";
    QVERIFY(writeBytes(second, "Package: before\nVersion: 1-1\nArchitecture: amd64\n\n"
                               "Package: broken\nVersion: 1.0-\nArchitecture: amd64\n\n"
                               "Package: foo;touch${IFS}PWNED\nVersion: 1-1\nArchitecture: amd64\n\n"
                               "Package: -oAPT::Get::Assume-Yes=true\nVersion: 1-1\nArchitecture: amd64\n\n"
                               "Package: after\nVersion: 2-1\nArchitecture: amd64\n"));
    QVERIFY(writeBytes(lists() + "/other.example.org_dists_y_main_Contents-amd64",
                       "usr/bin/before admin/before\n" + QByteArray(2 << 20, 'x') + " admin/after\nusr/bin/after admin/after\n"));
    QVERIFY(writeBytes(lists() + "/third.example.org_dists_z_main_binary-amd64_Packages", QByteArray("Pack\0age", 8)));

    const Run run = buildUser();
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(second + ": 1 bad stanzas or lines skipped; the first: " + second + ":6:"),
             qPrintable(run.out));
    QVERIFY2(run.out.contains("_Contents-amd64: 1 bad stanzas or lines skipped"), qPrintable(run.out));
    QVERIFY2(run.out.contains("list left out: " + lists() + "/third.example.org_dists_z_main_binary-amd64_Packages:1: binary data"),
             qPrintable(run.out));
    QVERIFY2(run.out.contains("2 packages whose names break their package manager's rule were left out"), qPrintable(run.out));
    const QStringList rows = packageRows(userCatalogue());
    QVERIFY(rows.contains("before|1|1|amd64") && rows.contains("after|2|1|amd64"));
    QCOMPARE(rows.filter(QRegularExpression("^(broken|foo|-o)")), QStringList());
    QCOMPARE(rows.size(), 10);
    QVERIFY(fileRows(userCatalogue()).contains("after|amd64|/usr/bin/after"));

    const QString db = m_dir->filePath("explicit.db");
    const Run strict = runBuilder({"-o", db, "--quiet", "--packages", second});
    QCOMPARE(strict.exitCode, 1);
    QVERIFY2(strict.err.contains(second + ":6: malformed stanza"), qPrintable(strict.err));
    QVERIFY(writeBytes(second, "Package: foo;touch${IFS}PWNED\nVersion: 1-1\nArchitecture: amd64\n\n"
                               "Package: ok\nVersion: 1-1\nArchitecture: amd64\n"));
    QCOMPARE(runBuilder({"-o", db, "--quiet", "--packages", second}).exitCode, 0);
    QCOMPARE(packageRows(db), QStringList{"ok|1|1|amd64"});
}

void MachineCatalogueTest::foldersAndLockRefused_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("untouched"); // must not come to exist
    QTest::newRow("lock is a dangling link") << "lock link" << "is a symbolic link; not followed" << "target";
    QTest::newRow("lock is a FIFO") << "lock fifo" << "is not a regular file" << "cache/quorvi/os_pkg_list.db";
    // Root running --user with another user's HOME or cache (sudo -E).
    QTest::newRow("quorvi/ of another user") << "quorvi" << "refusing to use " << "cache/quorvi/os_pkg_list.db";
    QTest::newRow("cache of another user") << "cache" << "refusing to use " << "cache/quorvi";
    QTest::newRow("HOME of another user, no cache yet") << "home" << "refusing to make " << "home/.cache";
}

void MachineCatalogueTest::foldersAndLockRefused()
{
    QFETCH(QString, setup);
    QFETCH(QString, error);
    QFETCH(QString, untouched);
    const bool otherOwner = !setup.startsWith("lock");
    if (otherOwner && geteuid() != 0) {
        QSKIP("only root can give a folder to another user");
    }
    const QString quorvi = m_dir->filePath("cache/quorvi");
    const QByteArray home = qgetenv("HOME");
    QVERIFY(QDir().mkpath(setup == "home" || setup == "cache" ? m_dir->filePath(setup) : quorvi));
    if (setup == "lock link") {
        QVERIFY(QFile::link(m_dir->filePath("target"), quorvi + "/.os_pkg_list.db.lock"));
    }
    if (setup == "lock fifo") {
        QCOMPARE(mkfifo(QFile::encodeName(quorvi + "/.os_pkg_list.db.lock").constData(), 0644), 0);
    }
    if (otherOwner) {
        const QString owned = setup == "quorvi" ? quorvi : m_dir->filePath(setup);
        QCOMPARE(chown(QFile::encodeName(owned).constData(), 65534, 65534), 0);
    }
    if (setup == "home") {
        qunsetenv("XDG_CACHE_HOME");
        qputenv("HOME", QFile::encodeName(m_dir->filePath("home")));
    }
    const Run run = buildUser();
    qputenv("HOME", home);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith("quorvi-catalog: ") && run.err.contains(error), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(untouched)));
}

void MachineCatalogueTest::modesWhateverTheUmask_data()
{
    QTest::addColumn<bool>("system");
    QTest::addColumn<bool>("folderExists"); // made 0700 by an earlier run
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileMode");
    QTest::newRow("--system, new folder") << true << false << 0755 << 0644;
    QTest::newRow("--system, folder of an earlier run") << true << true << 0755 << 0644;
    QTest::newRow("--user keeps the umask") << false << false << 0700 << 0600;
}

// Under umask 077 the system's catalogue is still readable by every user; the user's
// own follows the user's umask. Checked on the folder and the file the build writes.
void MachineCatalogueTest::modesWhateverTheUmask()
{
    QFETCH(bool, system);
    QFETCH(bool, folderExists);
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    const QString folder = m_dir->filePath("cache/quorvi");
    if (folderExists) {
        QVERIFY(QDir().mkpath(folder) && QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    const mode_t saved = umask(077);
    struct stat dir = {};
    struct stat file = {};
    try {
        MachineCatalogue::makeFolderFor(userCatalogue().toStdString(),
                                        system ? MachineCatalogue::Kind::System : MachineCatalogue::Kind::User);
        AtomicOutput output(userCatalogue().toStdString());
        stat(output.tempPath().c_str(), &file);
        stat(QFile::encodeName(folder).constData(), &dir);
    } catch (const std::exception &e) {
        umask(saved);
        QFAIL(e.what());
    }
    umask(saved);
    QCOMPARE(int(dir.st_mode & 07777), folderMode);
    QCOMPARE(int(file.st_mode & 07777), fileMode);
}

// An RPM database's files date the catalogue, but for the lock and SQLite's shared
// memory, which readers write; a root without a database cannot be dated.
void MachineCatalogueTest::rpmDatabaseFilesAreInputs()
{
    const QString db = m_dir->filePath("root/var/lib/rpm");
    QVERIFY(QDir().mkpath(db) && QDir().mkpath(m_dir->filePath("bare")));
    for (const char *name : {"rpmdb.sqlite", "rpmdb.sqlite-wal", "rpmdb.sqlite-shm", ".rpm.lock"})
        QVERIFY(writeBytes(db + "/" + name, "x"));
    BuildOptions build;
    build.rpmdbRoots = {m_dir->filePath("root").toStdString()};
    std::vector<std::string> inputs = CatalogueFreshness::inputsOf(build, {});
    std::sort(inputs.begin(), inputs.end());
    QCOMPARE(inputs, (std::vector<std::string>{(db + "/rpmdb.sqlite").toStdString(),
                                               (db + "/rpmdb.sqlite-wal").toStdString()}));
    build.rpmdbRoots = {m_dir->filePath("bare").toStdString()};
    QCOMPARE(CatalogueFreshness::inputsOf(build, {}), std::vector<std::string>{""});
}

// Run as an ordinary user (through setpriv when the tests run as root).
void MachineCatalogueTest::systemNeedsRoot()
{
    QProcess process;
    const QStringList builder{QStringLiteral(QUORVI_CATALOG_BIN), "--system", "--quiet",
                              "--packages", dataPath("Packages")};
    if (geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty()) {
            QSKIP("setpriv (util-linux) is needed to run as an ordinary user");
        }
        process.start(setpriv, QStringList{"--reuid=65534", "--regid=65534", "--clear-groups"} + builder);
    } else {
        process.start(builder.first(), builder.mid(1));
    }
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 2);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.startsWith("quorvi-catalog: --system writes /var/cache/quorvi/os_pkg_list.db and needs root"),
             qPrintable(err));
    QVERIFY(err.section('\n', 0, 0).contains("--user"));
}

void MachineCatalogueTest::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("--user with -o") << QStringList{"--user", "-o", "x.db"} << "--user and -o/--output cannot be combined";
    QTest::newRow("--system and --user") << QStringList{"--system", "--user"} << "--system and --user cannot be combined";
    QTest::newRow("--force alone") << QStringList{"--force", "-o", "x.db", "--packages", "P"}
                                   << "--force goes with --system or --user";
    QTest::newRow("--no-wait alone") << QStringList{"--no-wait", "-o", "x.db", "--packages", "P"}
                                     << "--no-wait goes with --system or --user";
}

void MachineCatalogueTest::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run run = runBuilder(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith("quorvi-catalog: " + message + "\n"), qPrintable(run.err));
    QVERIFY(!QFile::exists(userCatalogue()));
}

QTEST_MAIN(MachineCatalogueTest)
#include "tst_machinecatalogue.moc"
