// Installed-package sources that depend on the system they run on: the
// directories of this machine's dpkg file lists, and an RPM database.

#include "BuildOptions.h"
#include "CatalogBuilder.h"
#include "CatalogTestSupport.h"
#include "Progress.h"

#include <QDir>
#include <QFile>
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

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

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
    CatalogBuilder builder(progress);
    const QString db = m_dir->filePath("os_pkg_list.db");
    QVERIFY(writeBytes(db, QByteArray())); // the writer fills a file made for it
    try {
        builder.build(options, db.toStdString());
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }

    QStringList expected{"p|all|" + root + "/full-dir/file", "p|all|" + root + "/link-to-dir",
                         "p|all|" + root + "/not-on-disk"};
    if (!onThisSystem)
        expected << "p|all|" + root + "/empty-dir"; // nothing in the list lies beneath it
    expected.sort();
    QCOMPARE(fileRows(db), expected);
    QCOMPARE(builder.stats().directoriesOnDisk, uint64_t(onThisSystem ? 1 : 0));
}

QTEST_GUILESS_MAIN(InstalledSourcesTest)
#include "tst_InstalledSources.moc"
