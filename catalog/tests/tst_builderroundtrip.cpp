// Builds catalogues with the real quorvi-catalog binary from the fixtures in
// data/ and checks what a reader finds in them.

#include "catalogtestsupport.h"
#include "sqlitedb.h"
#include "linkstore.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <catalogueschema.h>

#include <set>
#include <tuple>

using namespace CatalogTest;

namespace {
const QStringList kFixturePackages{
    "0ad-data|0.0.26|1|all",  "util-linux|2.38.1|5+b1|amd64", "python3-apt|2.6.0|0|amd64",
    "adduser|3.134|0|all",    "bsdutils|2.38.1|5+b1|amd64",   "gcc-12|12.2.0|14|amd64",
    "gcc-12|12.2.0|14|i386",  "libfoo-dev|1.0-rc1|3|amd64"};

QStringList fixtureFiles()
{
    QStringList files{
        "0ad-data|all|/usr/share/0ad/data/mods/public/Read Me First.txt",
        "adduser|all|/README.top",
        "adduser|all|/usr/sbin/adduser",
        "adduser|all|/usr/share/doc/My Docs/with  two  blanks.txt",
        "bsdutils|amd64|/usr/share/locale/de/LC_MESSAGES/util-linux.mo",
        "bsdutils|amd64|/usr/share/man/man1/more.1.gz",
        "gcc-12|amd64|/usr/bin/gcc-12",
        "gcc-12|amd64|/usr/bin/x86_64-linux-gnu-gcc-12",
        "gcc-12|i386|/usr/bin/gcc-12",
        "gcc-12|i386|/usr/bin/x86_64-linux-gnu-gcc-12",
        "libfoo-dev|amd64|/usr/include/foo.h",
        "python3-apt|amd64|/usr/lib/python3/dist-packages/apt/__init__.py",
        "util-linux|amd64|/bin/more",
        "util-linux|amd64|/usr/share/locale/de/LC_MESSAGES/util-linux.mo",
        "util-linux|amd64|/usr/share/man/man1/more.1.gz"};
    files.sort();
    return files;
}
} // namespace

class BuilderRoundTripTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void packagesOnly();
    void packagesAndContents();
    void fileTables_data();
    void fileTables();
    void oldContentsHeader();
    void sourcesListedTwice();
    void newestVersions_data();
    void newestVersions();
    void dpkgStatus();
    void dpkgStatusStates();
    void compressions_data();
    void compressions();
    void aptLists();
    void emptyInputs_data();
    void emptyInputs();
    void unopenableDatabase();
    void linkRuns_data();
    void linkRuns();

private:
    QString db(const QString &name = QStringLiteral("os_pkg_list.db")) const
    {
        return m_dir->filePath(name);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void BuilderRoundTripTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void BuilderRoundTripTest::packagesOnly()
{
    const Run run = runBuilder({"-o", db(), "--packages", dataPath("Packages")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("8 packages, 0 files"), qPrintable(run.out));
    QCOMPARE(packageRows(db()), kFixturePackages);
    QCOMPARE(schemaNames(db()), (QStringList{QV_PKG_INFO_TABLE, QV_PKG_NAME_INDEX, QV_PKG_TABLE}));
    // Each package's details: the version with its epoch, the description's first line.
    QCOMPARE(query(db(), "SELECT " QV_PKG_INFO_VERSION " || '|' || " QV_PKG_INFO_SUMMARY " || '|' || " QV_PKG_INFO_SECTION
                         " FROM " QV_PKG_INFO_TABLE " WHERE " QV_PKG_INFO_PKG " IN (1, 5) ORDER BY " QV_PKG_INFO_PKG),
             (QStringList{"0.0.26-1|Real-time strategy game of ancient warfare (data files)|games",
                          "1:2.38.1-5+b1||"}));
    QCOMPARE(query(db(), "PRAGMA user_version"), QStringList{QString::number(QV_FORMAT_VERSION)});
    QCOMPARE(query(db(), "SELECT min(id) || '-' || max(id) FROM " QV_PKG_TABLE),
             QStringList{"1-8"});
}

void BuilderRoundTripTest::packagesAndContents()
{
    const Run run = runBuilder({"-o", db(), "--packages", dataPath("Packages"), "--contents",
                                dataPath("Contents")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("8 packages, 15 files"), qPrintable(run.out));
    QVERIFY2(run.out.contains("2 file entries named packages not in the catalogue"),
             qPrintable(run.out));
    // The summary comes last, after the notes about left-out entries.
    QVERIFY2(run.out.trimmed().split('\n').last().startsWith("quorvi-catalog: 8 packages, 15 files"),
             qPrintable(run.out));
    QCOMPARE(fileRows(db()), fixtureFiles());
    QCOMPARE(fileTableProblems(db()), QStringList());
    QCOMPARE(schemaNames(db()), (QStringList{QV_DIR_BLOCK_TABLE, QV_NAME_BLOCK_TABLE, QV_TRIGRAM_TABLE,
                                             QV_PKG_FILES_TABLE, QV_PKG_INFO_TABLE, QV_PKG_NAME_INDEX, QV_PKG_TABLE}));
    QCOMPARE(query(db(), "PRAGMA user_version"), QStringList{QString::number(QV_FORMAT_VERSION)});
    QCOMPARE(query(db(), "PRAGMA application_id"), QStringList{QString::number(QV_APPLICATION_ID)});
}

void BuilderRoundTripTest::fileTables_data()
{
    QTest::addColumn<int>("names");
    QTest::addColumn<int>("dirs");
    QTest::newRow("one block each") << 3 << 2;
    QTest::newRow("full blocks") << 2 * QV_NAMES_PER_BLOCK << QV_DIRS_PER_BLOCK;
    QTest::newRow("a short last block") << 3 * QV_NAMES_PER_BLOCK + 5 << QV_DIRS_PER_BLOCK + 1;
}

// Names that differ only in case, short names without trigrams, bytes beyond ASCII, names
// and directories over several blocks: every file comes back out of the BLOBs, and the
// tables are as the format defines them.
void BuilderRoundTripTest::fileTables()
{
    QFETCH(int, names);
    QFETCH(int, dirs);
    const QStringList spellings{"Lib%1.so", "lib%1.SO", "%1", "Ä%1ä", "x%1 y"};
    QByteArray contents;
    QStringList expected;
    for (int i = 0; i < names; ++i) {
        const QString name = spellings.at(i % spellings.size()).arg(i / spellings.size());
        const QString dir = i % dirs == 0 ? QString() : QString("/usr/Share/d%1").arg(i % dirs);
        const QString package = i % 3 == 0 ? "one" : "two";
        contents += (dir + '/' + name + "   devel/" + package + (i % 7 == 0 ? ",admin/three" : "") + '\n').toUtf8();
        expected << package + "|all|" + dir + '/' + name;
        if (i % 7 == 0) {
            expected << "three|all|" + dir + '/' + name;
        }
    }
    expected.sort();
    QVERIFY(writeBytes(m_dir->filePath("Contents"), contents));
    QVERIFY(writeBytes(m_dir->filePath("Packages"), "Package: one\nVersion: 1\nArchitecture: all\n\n"
                                                    "Package: two\nVersion: 1\nArchitecture: all\n\n"
                                                    "Package: three\nVersion: 1\nArchitecture: all\n"));
    const Run run = runBuilder({"-o", db(), "--packages", m_dir->filePath("Packages"), "--contents",
                                m_dir->filePath("Contents")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(fileRows(db()), expected);
    QCOMPARE(fileTableProblems(db()), QStringList());
    QCOMPARE(query(db(), "SELECT count(*) FROM " QV_NAME_BLOCK_TABLE),
             QStringList{QString::number((names + QV_NAMES_PER_BLOCK - 1) / QV_NAMES_PER_BLOCK)});
}

void BuilderRoundTripTest::oldContentsHeader()
{
    const Run run = runBuilder({"-o", db(), "--packages", dataPath("Packages"), "--contents",
                                dataPath("Contents-old")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(fileRows(db()), (QStringList{"gcc-12|amd64|/usr/bin/gcc-12",
                                          "gcc-12|i386|/usr/bin/gcc-12",
                                          "util-linux|amd64|/bin/more"}));
}

// The same index given twice (once compressed) adds nothing.
void BuilderRoundTripTest::sourcesListedTwice()
{
    const QString gz = m_dir->filePath("Packages.gz");
    QCOMPARE(QProcess::execute("sh", {"-c", QString("gzip -c '%1' > '%2'")
                                                 .arg(dataPath("Packages"), gz)}),
             0);
    const Run run = runBuilder({"-o", db(), "--packages", dataPath("Packages"), "--packages", gz,
                                "--contents", dataPath("Contents"), "--contents",
                                dataPath("Contents")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(packageRows(db()), kFixturePackages);
    QCOMPARE(fileRows(db()), fixtureFiles());
}

// One status file holding every dpkg state: the packages whose files are on
// disk are in the catalogue with their file lists, the others are not.
void BuilderRoundTripTest::newestVersions_data()
{
    QTest::addColumn<bool>("allVersions");
    QTest::addColumn<QStringList>("expected");
    QStringList newest = kFixturePackages;
    newest.replace(1, "util-linux|2.38.1|5+deb12u1|amd64");
    QTest::newRow("default: newest of each name and arch") << false << newest;
    QTest::newRow("--all-versions")
        << true
        << kFixturePackages + QStringList{"util-linux|2.38.1|5+deb12u1|amd64", "bsdutils|2.38.1|4|amd64"};
}

// A second index (as bookworm-security beside bookworm) lists a newer
// util-linux and an older bsdutils (whose epoch the fixture's one shares).
void BuilderRoundTripTest::newestVersions()
{
    QFETCH(bool, allVersions);
    QFETCH(QStringList, expected);
    const QString updates = m_dir->filePath("Packages-updates");
    QVERIFY(writeBytes(updates, "Package: util-linux\nVersion: 2.38.1-5+deb12u1\n"
                                "Architecture: amd64\n\n"
                                "Package: bsdutils\nVersion: 1:2.38.1-4\nArchitecture: amd64\n"));
    QStringList args{"-o", db(), "--packages", dataPath("Packages"), "--packages", updates,
                     "--contents", dataPath("Contents")};
    if (allVersions) {
        args << "--all-versions";
    }
    const Run run = runBuilder(args);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(packageRows(db()), expected);
    // Without versions in Contents, every row of a name gets its files.
    QStringList files = fixtureFiles();
    if (allVersions) {
        files << "util-linux|amd64|/bin/more"
              << "util-linux|amd64|/usr/share/locale/de/LC_MESSAGES/util-linux.mo"
              << "util-linux|amd64|/usr/share/man/man1/more.1.gz"
              << "bsdutils|amd64|/usr/share/locale/de/LC_MESSAGES/util-linux.mo"
              << "bsdutils|amd64|/usr/share/man/man1/more.1.gz";
        files.sort();
    }
    QCOMPARE(fileRows(db()), files);
}

void BuilderRoundTripTest::dpkgStatusStates()
{
    const QStringList states{"hold ok installed",           "deinstall ok installed",
                             "install ok half-configured",  "install ok unpacked",
                             "install reinstreq half-installed", "install ok triggers-awaited",
                             "install ok triggers-pending", "deinstall ok config-files",
                             "purge ok not-installed"};
    QByteArray status;
    QVERIFY(QDir(m_dir->path()).mkpath("admin/info"));
    for (int i = 0; i < states.size(); ++i) {
        const QByteArray name = "p" + QByteArray::number(i);
        status += "Package: " + name + "\nStatus: " + states.at(i).toUtf8()
                  + "\nArchitecture: amd64\nVersion: 1.0-" + QByteArray::number(i) + "\n\n";
        QVERIFY(writeBytes(m_dir->filePath("admin/info/" + name + ".list"),
                           "/.\n/usr\n/usr/bin\n/usr/bin/" + name + "\n"));
    }
    QVERIFY(writeBytes(m_dir->filePath("admin/status"), status));
    const Run run = runBuilder({"-o", db(), "--dpkg-admin", m_dir->filePath("admin")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(packageRows(db()),
             (QStringList{"p0|1.0|0|amd64", "p1|1.0|1|amd64", "p2|1.0|2|amd64", "p3|1.0|3|amd64",
                          "p4|1.0|4|amd64", "p5|1.0|5|amd64", "p6|1.0|6|amd64"}));
    QCOMPARE(fileRows(db()),
             (QStringList{"p0|amd64|/usr/bin/p0", "p1|amd64|/usr/bin/p1", "p2|amd64|/usr/bin/p2",
                          "p3|amd64|/usr/bin/p3", "p4|amd64|/usr/bin/p4", "p5|amd64|/usr/bin/p5",
                          "p6|amd64|/usr/bin/p6"}));
}

void BuilderRoundTripTest::dpkgStatus()
{
    const Run run = runBuilder({"-o", db(), "--dpkg-status", dataPath("dpkg/status")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains("1 installed packages have no dpkg file list"), qPrintable(run.out));
    QCOMPARE(packageRows(db()), (QStringList{"bash|5.2.15|2+b2|amd64", "libc6|2.36|9+deb12u4|amd64",
                                             "base-files|12.4+deb12u5|0|amd64"}));
    QCOMPARE(fileRows(db()), (QStringList{"bash|amd64|/bin/bash", "bash|amd64|/etc/bash.bashrc",
                                          "bash|amd64|/etc/skel/.bashrc",
                                          "bash|amd64|/usr/bin-extra",
                                          "bash|amd64|/usr/bin/bashbug",
                                          "bash|amd64|/usr/share/doc/bash/README",
                                          "libc6|amd64|/lib/x86_64-linux-gnu/libc.so.6",
                                          "libc6|amd64|/usr/lib/x86_64-linux-gnu/gconv/"
                                          "gconv-modules.d"}));
    // --dpkg-admin names the same files.
    QCOMPARE(runBuilder({"-o", db("admin.db"), "--dpkg-admin", dataPath("dpkg")}).exitCode, 0);
    QCOMPARE(fileRows(db("admin.db")), fileRows(db()));
}

void BuilderRoundTripTest::compressions_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("gzip") << "gzip" << ".gz";
    QTest::newRow("xz") << "xz" << ".xz";
    QTest::newRow("bzip2") << "bzip2" << ".bz2";
    QTest::newRow("zstd") << "zstd" << ".zst";
    QTest::newRow("lz4") << "lz4" << ".lz4";
    QTest::newRow("lz4, misleading name") << "lz4" << ".gz";
}

// Compression is recognised from the content, and every kind gives the same
// catalogue as the plain files.
void BuilderRoundTripTest::compressions()
{
    QFETCH(QString, tool);
    QFETCH(QString, suffix);
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
        QSKIP(qPrintable(tool + " is not installed"));
    }
    QStringList args{"-o", db()};
    for (const QString &kind : {QStringLiteral("Packages"), QStringLiteral("Contents")}) {
        const QString packed = m_dir->filePath(kind + suffix);
        const QString command = QString("%1 -c < '%2' > '%3'").arg(tool, dataPath(kind), packed);
        QCOMPARE(QProcess::execute("sh", {"-c", command}), 0);
        QVERIFY(readBytes(packed) != readBytes(dataPath(kind)));
        args << "--" + kind.toLower() << packed;
    }
    const Run run = runBuilder(args);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(packageRows(db()), kFixturePackages);
    QCOMPARE(fileRows(db()), fixtureFiles());
}

void BuilderRoundTripTest::aptLists()
{
    QTemporaryDir lists;
    const QString prefix = lists.filePath("deb.debian.org_debian_dists_bookworm_main_");
    const QString compress = QString("lz4 -c < '%1' > '%2'");
    QCOMPARE(QProcess::execute("sh", {"-c", compress.arg(dataPath("Packages"),
                                                         prefix + "binary-amd64_Packages.lz4")}),
             0);
    QCOMPARE(QProcess::execute("sh", {"-c", compress.arg(dataPath("Contents"),
                                                         prefix + "Contents-amd64.lz4")}),
             0);
    // Release files and translations in the same folder are not sources.
    QVERIFY(writeBytes(lists.filePath("deb.debian.org_debian_dists_bookworm_InRelease"), "x"));
    QVERIFY(writeBytes(prefix + "i18n_Translation-en", "garbage"));
    const Run run = runBuilder({"-o", db(), "--apt-lists", lists.path()});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(packageRows(db()), kFixturePackages);
    QCOMPARE(fileRows(db()), fixtureFiles());
}

void BuilderRoundTripTest::emptyInputs_data()
{
    QTest::addColumn<QString>("tool");
    QTest::newRow("plain") << "cat";
    QTest::newRow("gzip") << "gzip";
    QTest::newRow("xz") << "xz";
    QTest::newRow("zstd") << "zstd";
}

// An empty index (as apt has for empty components) is zero packages, even
// compressed: not an unrecognised format.
void BuilderRoundTripTest::emptyInputs()
{
    QFETCH(QString, tool);
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
        QSKIP(qPrintable(tool + " is not installed"));
    }
    const QString empty = m_dir->filePath("Packages.empty");
    QCOMPARE(QProcess::execute("sh", {"-c", QString("%1 < /dev/null > '%2'").arg(tool, empty)}),
             0);
    const Run run = runBuilder({"-o", db(), "--packages", empty, "--packages",
                                dataPath("Packages"), "--contents", empty});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(packageRows(db()), kFixturePackages);
    QCOMPARE(fileRows(db()), QStringList());
}

// A file SQLite cannot open: a message naming it, and the connection SQLite
// handed back anyway is released (the sanitizer build counts a leak as a failure).
void BuilderRoundTripTest::unopenableDatabase()
{
    const std::string path = db("no-such-folder/x.db").toStdString();
    try {
        SqliteDb opened(path);
        QFAIL("a file in a missing folder was opened");
    } catch (const std::runtime_error &e) {
        QVERIFY2(QString::fromUtf8(e.what()).startsWith(QString::fromStdString("SQLite: cannot open " + path + ": ")),
                 e.what());
    }
}

void BuilderRoundTripTest::linkRuns_data()
{
    QTest::addColumn<int>("runLength");
    QTest::addColumn<bool>("spill");
    QTest::newRow("one run in memory") << 1000 << false;
    QTest::newRow("runs of 7 in memory") << 7 << false;
    QTest::newRow("runs of 7 in a file") << 7 << true;
    QTest::newRow("runs of 1 in a file") << 1 << true;
}

// Links spread over many runs, the same link in several: renumbered and merged, each
// distinct link comes once, in each order.
void BuilderRoundTripTest::linkRuns()
{
    QFETCH(int, runLength);
    QFETCH(bool, spill);
    LinkStore store{size_t(runLength)};
    if (spill) {
        store.spillTo(m_dir->path().toStdString());
    }
    const std::vector<uint32_t> dirIds{2, 0, 1};
    const std::vector<uint32_t> nameIds{3, 1, 4, 0, 2};
    using Triple = std::tuple<uint32_t, uint32_t, uint32_t>;
    std::set<Triple> byName;
    std::set<Triple> byPackage;
    for (uint32_t i = 0; i < 100; ++i) {
        const LinkStore::Link link{1 + i * 7 % 5, i * 3 % 3 == 0 ? i % 3 : 0, i * 11 % 5};
        store.add(link);
        byName.emplace(nameIds[link.name], link.pkg, dirIds[link.dir]);
        byPackage.emplace(link.pkg, dirIds[link.dir], nameIds[link.name]);
    }
    store.renumber(dirIds, nameIds);
    for (const auto order : {LinkStore::Order::ByName, LinkStore::Order::ByPackage, LinkStore::Order::ByName}) {
        std::vector<Triple> seen;
        store.forEach(order, [&](const LinkStore::Link &l) {
            seen.push_back(order == LinkStore::Order::ByName ? std::make_tuple(l.name, l.pkg, l.dir)
                                                               : std::make_tuple(l.pkg, l.dir, l.name));
        });
        const auto &expected = order == LinkStore::Order::ByName ? byName : byPackage;
        QVERIFY((seen == std::vector<Triple>(expected.begin(), expected.end())));
        QCOMPARE(store.distinct(), uint64_t(expected.size()));
    }
    // The file is unnamed: nothing is left in the folder.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

QUORVI_GUARDED_TEST_MAIN(BuilderRoundTripTest)
#include "tst_builderroundtrip.moc"
