#include "catalogueconnection.h"
#include "cataloguelocator.h"
#include "catalogueopening.h"
#include "coretestsupport.h"
#include "installedpackages.h"
#include "packagedetails.h"
#include "packagesearch.h"
#include "searchhint.h"
#include "searchstatement.h"

#include <QFile>
#include <QtTest>

#include <memory>

// The core alone, as a command line would use it: the catalogue found and opened
// read-only, package names searched through the core's own SQLite handle, the hint after
// an empty result, and a package's details with what this machine has installed. The
// program links no Qt but QtCore (and QtTest).
class tst_CoreSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void packageNames_data();
    void packageNames();
    void failures_data();
    void failures();
    void nativeArchFromStatusFile();
    void details();

private:
    bool open(CatalogueConnection &connection, const QString &path);
    std::unique_ptr<CatalogueFolder> dir;
};

namespace {
void writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(text), qint64(text.size()));
}
} // namespace

// Package ids follow data/filesearch/Packages: 1 gcc-12, 2 gcc, 3 libssl3, 4 libssl-dev,
// 5 qtbase, 6 odd-files, 7 empty.
void tst_CoreSearch::initTestCase()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
    buildCatalogue(dir->filePath("os_pkg_list.db"),
                   {"--packages", testData("filesearch/Packages"), "--contents", testData("filesearch/Contents")});
}

void tst_CoreSearch::cleanupTestCase()
{
    dir.reset();
}

bool tst_CoreSearch::open(CatalogueConnection &connection, const QString &path)
{
    const CatalogueOpening opening = CatalogueOpening::inspect(path);
    return opening.problem.isEmpty()
           && connection.open(path, opening.databaseName, opening.connectOptions("QSQLITE_OPEN_READONLY"));
}

void tst_CoreSearch::packageNames_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("wild");   // the hint after an empty result
    QTest::addColumn<QStringList>("names");

    QTest::newRow("exact") << "gcc" << QStringList{"2|gcc-12.2.0-3.amd64"} << "" << QStringList();
    QTest::newRow("prefix") << "gcc*" << QStringList{"2|gcc-12.2.0-3.amd64", "1|gcc-12-12.2.0-14.amd64"} << ""
                            << QStringList();
    QTest::newRow("substring, case folded") << "*SSL*"
                                            << QStringList{"3|libssl3-3.0.17-1.amd64", "4|libssl-dev-3.0.17-1.amd64"}
                                            << "" << QStringList();
    QTest::newRow("apostrophe is text") << "o'neil" << QStringList() << "*o'neil*" << QStringList();
    QTest::newRow("near names") << "gc" << QStringList() << "*gc*" << QStringList{"gcc"};
}

void tst_CoreSearch::packageNames()
{
    QFETCH(QString, keyword);
    QFETCH(QStringList, rows);
    QFETCH(QString, wild);
    QFETCH(QStringList, names);

    const QString found = CatalogueLocator::standard().find();
    QCOMPARE(QFileInfo(found).absoluteFilePath(), dir->filePath("os_pkg_list.db"));
    CatalogueConnection connection;
    QVERIFY(open(connection, found));
    PackageSearch search(connection.handle(), keyword);
    QCOMPARE(search.statement(), SearchStatement::build(keyword));
    QCOMPARE(search.run(1 << 20, qint64(1) << 30), PackageSearch::Result::Rows);
    QCOMPARE(search.titles(), QStringList({QString::fromUtf8("序号"), QString::fromUtf8("软件包名称")}));
    QStringList shown;
    for (int i = 0; i + 1 < search.cells().size(); i += 2) {
        shown << search.cells().at(i).toString() + '|' + search.cells().at(i + 1).toString();
    }
    QCOMPARE(shown, rows);
    if (rows.isEmpty()) {
        const SearchHint hint = SearchHint::find(connection.handle(), keyword, SearchMode::PackageName, [] { return false; });
        QCOMPARE(hint.wildKeyword, wild);
        QCOMPARE(hint.names, names);
    }
}

// The texts of a failure are those the window has always shown (Qt's SQLite driver's).
void tst_CoreSearch::failures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::newRow("a folder") << "folder" << "Error opening database";
    QTest::newRow("no package table") << "empty" << "no such table: qv_pkg_list_t Unable to execute statement";
    QTest::newRow("no database") << "text" << "file is not a database Unable to execute statement";
}

void tst_CoreSearch::failures()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    const QString path = dir->filePath(kind + ".db");
    if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else {
        writeFile(path, kind == "text" ? QByteArray(4096, 'x') : QByteArray());
    }
    CatalogueConnection connection;
    if (!open(connection, path)) {
        QVERIFY2(connection.error().text().endsWith(error), qPrintable(connection.error().text()));
        return;
    }
    PackageSearch search(connection.handle(), "gcc");
    QCOMPARE(search.run(1 << 20, qint64(1) << 30), PackageSearch::Result::Failed);
    QCOMPARE(search.error().text(), error);
}

void tst_CoreSearch::details()
{
    writeFile(dir->filePath("status"), "Package: gcc\nStatus: install ok installed\nArchitecture: amd64\n"
                                       "Version: 4:12.2.0-3\n");
    InstalledPackages::setSystem(InstalledPackages::dpkg(dir->filePath("status"), "amd64"));
    CatalogueConnection connection;
    PackageDetailsRequest request;
    request.path = dir->filePath("os_pkg_list.db");
    request.databaseName = request.path;
    request.connectOptions = "QSQLITE_OPEN_READONLY";
    request.fileKeyword = "gcc";
    request.package = 2;
    const PackageDetails details = PackageDetails::read(connection, request);
    QVERIFY2(details.catalogueError.isEmpty(), qPrintable(details.catalogueError));
    QCOMPARE(details.info.name, QString("gcc"));
    QCOMPARE(details.info.version, QString("12.2.0-3"));
    QCOMPARE(details.files, PackageDetails::Files::Listed);
    QCOMPARE(details.paths, QStringList({"/usr/bin/gcc", "/usr/bin/x86_64-linux-gnu-gcc", "/usr/share/man/man1/gcc.1.gz"}));
    QCOMPARE(details.matched, 1);
    QCOMPARE(details.installed.size(), 1);
    QCOMPARE(details.installed.first().version, QString("4:12.2.0-3"));
    QCOMPARE(details.packages.installCommand("gcc", "amd64"), QString("sudo apt install gcc"));
    QCOMPARE(details.packages.installCommand("gcc", "i386"), QString("sudo apt install gcc:i386"));
}

// dpkg is always installed in the native architecture: its own stanza names it. (Before
// details(), which sets the machine's packages for the rest of the process.)
void tst_CoreSearch::nativeArchFromStatusFile()
{
    writeFile(dir->filePath("status-arm"), "Package: libc6\nStatus: install ok installed\nArchitecture: amd64\n\n"
                                           "Package: dpkg\nStatus: install ok installed\nArchitecture: arm64\n"
                                           "Version: 1.21.22\n");
    qputenv("QUORVI_DPKG_STATUS", QFile::encodeName(dir->filePath("status-arm")));
    const InstalledPackages packages = InstalledPackages::system();
    qunsetenv("QUORVI_DPKG_STATUS");
    QCOMPARE(packages.manager(), InstalledPackages::Manager::Dpkg);
    QCOMPARE(packages.nativeArch(), QString("arm64"));
}

QTEST_GUILESS_MAIN(tst_CoreSearch)
#include "tst_coresearch.moc"
