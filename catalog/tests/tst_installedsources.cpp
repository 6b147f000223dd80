// Installed-package sources that depend on the system they run on: the
// directories of this machine's dpkg file lists, and an RPM database.

#include "buildoptions.h"
#include "cataloguebuilder.h"
#include "catalogtestsupport.h"
#include "progress.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace CatalogTest;

class InstalledSourcesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void directoriesOnThisSystem_data();
    void directoriesOnThisSystem();
    void rpmDatabase_data();
    void rpmDatabase();
    void rpmDatabaseMissing();

private:
    void makeRpmRoot(const QString &root, const QString &dbPath);

    std::unique_ptr<QTemporaryDir> m_dir;
};

// An RPM root made with Debian's rpm: an empty database, then the test
// packages (built from data/rpm with rpmbuild) installed into it.
void InstalledSourcesTest::makeRpmRoot(const QString &root, const QString &dbPath)
{
    const QString rpms = m_dir->filePath("rpms");
    QStringList files;
    for (const char *spec : {"quorvi-hello", "quorvi-tool"}) {
        QVERIFY(runTool("rpmbuild",
                        {"--define", "_topdir " + m_dir->filePath("top"), "--define",
                         "_rpmdir " + rpms, "--define", "debug_package %{nil}", "-bb",
                         dataPath(QString("rpm/") + spec + ".spec")},
                        m_dir->path()));
    }
    files << rpms + "/noarch/quorvi-hello-1.2-3.noarch.rpm"
          << rpms + "/x86_64/quorvi-tool-0.9.1-1.fc40.x86_64.rpm";
    QVERIFY(QDir().mkpath(root));
    QVERIFY(runTool("rpm", {"--root", root, "--dbpath", dbPath, "--initdb"}, m_dir->path()));
    QVERIFY(runTool("rpm", QStringList{"--root", root, "--dbpath", dbPath, "-i", "--nodeps",
                                       "--ignorearch", "--noscripts"} + files,
                    m_dir->path()));
}

void InstalledSourcesTest::rpmDatabase_data()
{
    QTest::addColumn<QString>("dbPath");
    QTest::addColumn<bool>("joined");
    QTest::addColumn<bool>("damaged"); // a header librpm cannot read
    QTest::newRow("--rpmdb ROOT, /var/lib/rpm") << "/var/lib/rpm" << false << false;
    QTest::newRow("--rpmdb=ROOT, /usr/lib/sysimage/rpm") << "/usr/lib/sysimage/rpm" << true << false;
    QTest::newRow("a damaged header fails the build") << "/var/lib/rpm" << false << true;
}

// Name, version, release and arch of each installed package, and its files
// without the directory it owns; the ghost log file is kept, as in repodata. A header
// that librpm cannot read fails the build and leaves the previous catalogue in place.
void InstalledSourcesTest::rpmDatabase()
{
    QFETCH(QString, dbPath);
    QFETCH(bool, joined);
    QFETCH(bool, damaged);
    for (const char *tool : {"rpmbuild", "rpm"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            QSKIP(qPrintable(QString("%1 is not installed (Debian package rpm)").arg(tool)));
        }
    }
    const QString root = m_dir->filePath("root");
    makeRpmRoot(root, dbPath);
    if (QTest::currentTestFailed()) {
        return;
    }
    const QString db = m_dir->filePath("os_pkg_list.db");
    const QStringList args = joined ? QStringList{"-o", db, "--rpmdb=" + root}
                                    : QStringList{"-o", db, "--rpmdb", root};
    if (damaged) {
        QCOMPARE(query(root + dbPath + "/rpmdb.sqlite",
                       "UPDATE Packages SET blob = x'0000000500000010aabbccdd' WHERE hnum = 1", false),
                 QStringList());
        QVERIFY(writeBytes(db, "the previous catalogue"));
    }
    const Run run = runBuilder(args);
    if (damaged) {
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("quorvi-catalog: " + root + ": cannot read the RPM database"), qPrintable(run.err));
        QCOMPARE(readBytes(db), QByteArray("the previous catalogue"));
        return;
    }
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    // Ids follow the database's order, which is rpm's install order.
    QStringList packages = packageRows(db);
    packages.sort();
    QCOMPARE(packages, (QStringList{"quorvi-hello|1.2|3|noarch", "quorvi-tool|0.9.1|1.fc40|x86_64"}));
    QCOMPARE(fileRows(db), (QStringList{"quorvi-hello|noarch|/usr/bin/quorvi-hello",
                                        "quorvi-hello|noarch|/usr/share/quorvi-hello/read me.txt",
                                        "quorvi-hello|noarch|/var/log/quorvi-hello.log",
                                        "quorvi-tool|x86_64|/etc/quorvi/tool.conf",
                                        "quorvi-tool|x86_64|/usr/bin/quorvi-tool"}));
}

// A root without an RPM database fails the build, naming the root, and
// nothing is written into the root (librpm would create an empty database).
void InstalledSourcesTest::rpmDatabaseMissing()
{
    const QString root = m_dir->filePath("root");
    QVERIFY(QDir().mkpath(root + "/var/lib/rpm"));
    const QString db = m_dir->filePath("os_pkg_list.db");
    const Run run = runBuilder({"-o", db, "--rpmdb", root});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(root + ": no RPM database in " + root), qPrintable(run.err));
    QVERIFY(!QFile::exists(db));
    QCOMPARE(QDir(root + "/var/lib/rpm").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
    QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"var"});
}

void InstalledSourcesTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void InstalledSourcesTest::directoriesOnThisSystem_data()
{
    QTest::addColumn<bool>("onThisSystem");
    QTest::newRow("this machine's database (--installed)") << true;
    QTest::newRow("another database (--dpkg-admin)") << false;
}

// A package's .list names a real empty directory, a directory holding an
// entry, a file, a link to a directory and a path that is not on disk. Only
// for this machine's own database does the file system decide.
void InstalledSourcesTest::directoriesOnThisSystem()
{
    QFETCH(bool, onThisSystem);
    const QString root = m_dir->filePath("root");
    QDir dir(m_dir->path());
    QVERIFY(dir.mkpath("root/empty-dir") && dir.mkpath("root/full-dir") && dir.mkpath("admin/info"));
    QVERIFY(writeBytes(root + "/full-dir/file", "x"));
    QVERIFY(QFile::link(root + "/full-dir", root + "/link-to-dir"));
    const QStringList entries{root + "/empty-dir", root + "/full-dir", root + "/full-dir/file",
                              root + "/link-to-dir", root + "/not-on-disk"};
    QVERIFY(writeBytes(m_dir->filePath("admin/info/p.list"), entries.join('\n').toUtf8() + '\n'));
    QVERIFY(writeBytes(m_dir->filePath("admin/status"),
                       "Package: p\nStatus: install ok installed\nVersion: 1\nArchitecture: all\n"));

    BuildOptions options;
    options.dpkgStatus = m_dir->filePath("admin/status").toStdString();
    options.dpkgInfo = m_dir->filePath("admin/info").toStdString();
    options.dpkgOnThisSystem = onThisSystem;
    Progress progress(false);
    CatalogueBuilder builder(progress);
    const QString db = m_dir->filePath("os_pkg_list.db");
    QVERIFY(writeBytes(db, QByteArray())); // the writer fills a file made for it
    try {
        builder.build(options, db.toStdString());
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }

    QStringList expected{"p|all|" + root + "/full-dir/file", "p|all|" + root + "/link-to-dir",
                         "p|all|" + root + "/not-on-disk"};
    if (!onThisSystem) {
        expected << "p|all|" + root + "/empty-dir"; // nothing in the list lies beneath it
    }
    expected.sort();
    QCOMPARE(fileRows(db), expected);
    QCOMPARE(builder.stats().directoriesOnDisk, uint64_t(onThisSystem ? 1 : 0));
}

QTEST_GUILESS_MAIN(InstalledSourcesTest)
#include "tst_installedsources.moc"
