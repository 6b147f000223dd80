// --system and --user: where they write, what they build from when no source is named,
// and when they find nothing to do.

#include "CatalogTestSupport.h"
#include "CatalogueFreshness.h"
#include "MachineCatalogue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace CatalogTest;

namespace {
timespec changeTime(const QString &path)
{
    struct stat st = {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
        return timespec{};
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
    void systemNeedsRoot();
    void usageErrors_data();
    void usageErrors();

private:
    QString userCatalogue() const { return m_dir->filePath("cache/quorvi/os_pkg_list.db"); }
    QString lists() const { return m_dir->filePath("lists"); }
    Run buildUser(const QStringList &extra = {});

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
    if (m_xdgWasSet)
        qputenv("XDG_CACHE_HOME", m_savedXdg);
    else
        qunsetenv("XDG_CACHE_HOME");
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
    if (dpkgStatus)
        QVERIFY(writeBytes(dpkg + "/status", ""));
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
        if (t.tv_sec > newest.tv_sec)
            newest = t;
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
    QTest::newRow("Packages index replaced") << "packages";
    QTest::newRow("Contents index removed") << "removed";
    QTest::newRow("arrived with an old modification time") << "old mtime";
}

// The catalogue is dated just before the change: what changed must count as newer.
void MachineCatalogueTest::changedInputMakesItStale()
{
    QFETCH(QString, change);
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
    } else {
        // apt dates a fetched index by the server's time, which may lie before the catalogue.
        QVERIFY(setModified(packages, timespec{1000000000, 0}));
    }
    QVERIFY(setModified(userCatalogue(), shifted(changeTime(changed), -1)));
    QVERIFY(changeTime(userCatalogue()).tv_sec > 1000000000);

    const Run run = buildUser();
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("8 packages"), qPrintable(run.out + run.err));
    QCOMPARE(schemaNames(userCatalogue()).contains("qv_pkg_file_t"), change != "removed");
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

// While another build holds the catalogue's lock, a second one waits instead of racing it.
void MachineCatalogueTest::waitsForAnotherBuild()
{
    QVERIFY(QDir().mkpath(QFileInfo(userCatalogue()).path()));
    const QByteArray lockPath = QFile::encodeName(m_dir->filePath("cache/quorvi/.os_pkg_list.db.lock"));
    const int fd = open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(flock(fd, LOCK_EX), 0);

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

// Run as an ordinary user (through setpriv when the tests run as root).
void MachineCatalogueTest::systemNeedsRoot()
{
    QProcess process;
    const QStringList builder{QStringLiteral(QUORVI_CATALOG_BIN), "--system", "--quiet",
                              "--packages", dataPath("Packages")};
    if (geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty())
            QSKIP("setpriv (util-linux) is needed to run as an ordinary user");
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
#include "tst_MachineCatalogue.moc"
