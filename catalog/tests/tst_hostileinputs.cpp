// The builder against inputs made to hurt it: decompression bombs, endless
// lines, paths that lead out of the inputs, an output that is an input, and
// output paths that cannot work. Each case ends in a located error (or a
// correct catalogue) and leaves nothing behind.

#include "catalogtestsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace CatalogTest;

class HostileInputsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void bombs_data();
    void bombs();
    void readingOutside_data();
    void readingOutside();
    void outputIsInput_data();
    void outputIsInput();
    void outputPath_data();
    void outputPath();
    void longOutputName();
    void symlinkedOutput();
    void contentsHeaderCounted();
    void rollbackJournalCatalogue();
    void malformedStanzas_data();
    void malformedStanzas();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    bool shell(const QString &script);
    void makeDpkgAdmin(const QString &listName);
    void makeRepo(const QString &primaryHref, const QString &filelistsHref = QString());
    Run runLimited(const QStringList &args);

    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {
const char kPrimary[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<metadata xmlns=\"http://linux.duke.edu/metadata/common\" packages=\"1\">\n"
    "<package type=\"rpm\"><name>hello</name><arch>x86_64</arch>\n"
    "<version epoch=\"0\" ver=\"1.0\" rel=\"1\"/></package>\n</metadata>\n";

// Peak memory is bounded by the address-space limit the builder runs under;
// AddressSanitizer reserves terabytes of address space, so there the limit
// cannot be set and the cases check the error alone.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCanLimitMemory = false;
#else
constexpr bool kCanLimitMemory = true;
#endif
} // namespace

void HostileInputsTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

bool HostileInputsTest::shell(const QString &script)
{
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start("sh", {"-ec", script});
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

// adm/status with one installed package "pw" whose file list is info/<listName>.
void HostileInputsTest::makeDpkgAdmin(const QString &listName)
{
    QVERIFY(QDir(m_dir->path()).mkpath("adm/info"));
    QVERIFY(writeBytes(path("adm/status"), "Package: pw\nStatus: install ok installed\n"
                                           "Architecture: amd64\nVersion: 1.0-1\n"));
    if (!listName.isEmpty()) {
        QVERIFY(writeBytes(path("adm/info/" + listName), "/usr/bin/pw\n"));
    }
}

// repo/repodata/repomd.xml naming `primaryHref` as the primary metadata.
void HostileInputsTest::makeRepo(const QString &primaryHref, const QString &filelistsHref)
{
    QVERIFY(QDir(m_dir->path()).mkpath("repo/repodata"));
    QByteArray filelists;
    if (!filelistsHref.isEmpty()) {
        filelists = "<data type=\"filelists\"><location href=\"" + filelistsHref.toUtf8()
                    + "\"/></data>\n";
    }
    QVERIFY(writeBytes(path("repo/repodata/repomd.xml"),
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<repomd xmlns=\"http://linux.duke.edu/metadata/repo\">\n"
                       "<data type=\"primary\"><location href=\""
                           + primaryHref.toUtf8() + "\"/></data>\n" + filelists + "</repomd>\n"));
}

// Runs the builder in the test folder, with at most 200 MB of address space
// where that can be set.
Run HostileInputsTest::runLimited(const QStringList &args)
{
    QStringList command{QStringLiteral(QUORVI_CATALOG_BIN)};
    if (kCanLimitMemory && !QStandardPaths::findExecutable("prlimit").isEmpty()) {
        command = QStringList{"prlimit", "--as=200000000"} + command;
    }
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    const QString program = command.takeFirst();
    process.start(program, command + args);
    Run run;
    if (!process.waitForFinished(120000)) {
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void HostileInputsTest::bombs_data()
{
    QTest::addColumn<QString>("make"); // shell script run in the test folder
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    const QString packages = dataPath("Packages");
    QTest::newRow("zstd of 256 MiB of NULs")
        << "head -c 256M /dev/zero | zstd -q -c > zeros.zst" << QStringList{"--packages", "zeros.zst"}
        << "^quorvi-catalog: zeros.zst:1: binary data";
    QTest::newRow("/dev/zero as Contents")
        << "true" << QStringList{"--packages", packages, "--contents", "/dev/zero"}
        << "^quorvi-catalog: /dev/zero:1: binary data";
    QTest::newRow("NULs after good lines")
        << "{ printf 'Package: a\\nVersion: 1\\nArchitecture: all\\n\\n'; head -c 256M /dev/zero; }"
           " | gzip -1 > late.gz"
        << QStringList{"--packages", "late.gz"} << "^quorvi-catalog: late.gz:5: binary data";
    QTest::newRow("one line of 300 MB")
        << "{ printf 'Package: '; head -c 300M /dev/zero | tr '\\0' a; } | zstd -q -c > long.zst"
        << QStringList{"--packages", "long.zst"} << "^quorvi-catalog: long.zst:1: line longer than";
    QTest::newRow("<name> of 300 MB")
        << "mkdir -p repo/repodata && printf '<repomd><data type=\"primary\"><location"
           " href=\"repodata/p.xml.zst\"/></data></repomd>' > repo/repodata/repomd.xml &&"
           " { printf '<?xml version=\"1.0\"?>\\n<metadata>\\n<package type=\"rpm\">\\n<name>';"
           " head -c 300M /dev/zero | tr '\\0' a; printf '</name></package></metadata>'; }"
           " | zstd -q -c > repo/repodata/p.xml.zst"
        << QStringList{"--repodata", "repo"}
        << "^quorvi-catalog: repo/repodata/p.xml.zst:4: XML text or tag longer than";
    QTest::newRow("attribute of 300 MB")
        << "mkdir -p repo/repodata && { printf '<repomd><data type=\"primary\"><location href=\"';"
           " head -c 300M /dev/zero | tr '\\0' a; printf '\"/></data></repomd>'; }"
           " > repo/repodata/repomd.xml"
        << QStringList{"--repodata", "repo"}
        << "^quorvi-catalog: repo/repodata/repomd.xml:1: XML text or tag longer than";
    QTest::newRow("elements nested 30 million deep")
        << "mkdir -p repo/repodata && printf '<repomd><data type=\"primary\"><location"
           " href=\"repodata/p.xml.zst\"/></data></repomd>' > repo/repodata/repomd.xml &&"
           " { printf '<metadata>\\n'; yes '<a>' | head -c 120M | tr -d '\\n'; }"
           " | zstd -q -c > repo/repodata/p.xml.zst"
        << QStringList{"--repodata", "repo"}
        << "^quorvi-catalog: repo/repodata/p.xml.zst:2:\\d+: XML error: elements nested more than 256";
    QTest::newRow("element text of 2 MiB in pieces")
        << "mkdir -p repo/repodata && printf '<repomd><data type=\"primary\"><location"
           " href=\"repodata/p.xml\"/></data></repomd>' > repo/repodata/repomd.xml &&"
           " { printf '<metadata>\\n<package type=\"rpm\">\\n<name>';"
           " i=0; while [ $i -lt 4 ]; do head -c 600K /dev/zero | tr '\\0' a; printf '<b/>';"
           " i=$((i+1)); done; printf '</name></package></metadata>'; } > repo/repodata/p.xml"
        << QStringList{"--repodata", "repo"}
        << "^quorvi-catalog: repo/repodata/p.xml:3:\\d+: XML error: element text longer than";
}

// Peak memory stays under 200 MB: the builder runs with that address-space
// limit, which a bomb read whole would pass (and end in std::bad_alloc).
void HostileInputsTest::bombs()
{
    QFETCH(QString, make);
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    QVERIFY2(shell(make), qPrintable(make));
    const Run run = runLimited(QStringList{"-q", "-o", "out.db"} + args);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(QRegularExpression(error).match(run.err).hasMatch(), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(path("out.db")));
}

void HostileInputsTest::readingOutside_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::newRow(".list is a symlink") << "symlinked list" << "pw.list: a symbolic link";
    QTest::newRow(".list is a FIFO") << "fifo list" << "pw.list: not a regular file";
    QTest::newRow("Package: ../../x") << "dotdot package" << "status:1: malformed stanza: '/'";
    QTest::newRow("Architecture with /") << "slash arch" << "status:1: malformed stanza: '/'";
    QTest::newRow("href=\"../outside.xml\"") << "../outside.xml" << "lies outside the repository";
    QTest::newRow("absolute href") << "@/outside.xml" << "lies outside the repository";
    QTest::newRow("href through a symlink out") << "symlink out" << "lies outside the repository";
    QTest::newRow("href to a FIFO") << "fifo href" << "repodata/p.xml: not a regular file";
    QTest::newRow("repomd.xml is a FIFO") << "fifo repomd" << "repomd.xml: not a regular file";
    QTest::newRow("RPM name with /") << "slash rpm" << "p.xml:3: <package> with '/'";
}

// Nothing outside the named inputs is read: no private file behind a link,
// no path made from a package name, no repository file outside the tree, and
// no FIFO that would block the build for ever.
void HostileInputsTest::readingOutside()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QVERIFY(writeBytes(path("secret"), "root:$6$saltsalt$hashhashhash:19000:0:99999:7:::\n"));
    QVERIFY(writeBytes(path("outside.xml"), kPrimary));
    QStringList args;
    if (kind.endsWith("list") || kind.contains("package") || kind.contains("arch")) {
        makeDpkgAdmin(QString());
        if (kind == "symlinked list") {
            QVERIFY(QFile::link(path("secret"), path("adm/info/pw.list")));
        }
        if (kind == "fifo list") {
            QCOMPARE(::mkfifo(qPrintable(path("adm/info/pw.list")), 0600), 0);
        }
        if (kind == "dotdot package") {
            QVERIFY(writeBytes(path("adm/status"), "Package: ../../secret\nStatus: install ok"
                                                   " installed\nArchitecture: amd64\nVersion: 1\n"));
        }
        if (kind == "slash arch") {
            QVERIFY(writeBytes(path("adm/status"), "Package: pw\nStatus: install ok installed\n"
                                                   "Architecture: ../../x\nVersion: 1\n"));
        }
        args << "--dpkg-admin" << path("adm");
    } else {
        makeRepo(kind.startsWith("..") ? kind
                 : kind.startsWith("@") ? path("outside.xml")
                                        : QString("repodata/p.xml"));
        if (kind == "symlink out") {
            QVERIFY(QFile::link(path("outside.xml"), path("repo/repodata/p.xml")));
        }
        if (kind == "fifo href") {
            QCOMPARE(::mkfifo(qPrintable(path("repo/repodata/p.xml")), 0600), 0);
        }
        if (kind == "fifo repomd") {
            QVERIFY(QFile::remove(path("repo/repodata/repomd.xml")));
            QCOMPARE(::mkfifo(qPrintable(path("repo/repodata/repomd.xml")), 0600), 0);
        }
        if (kind == "slash rpm") {
            QVERIFY(writeBytes(path("repo/repodata/p.xml"),
                               QByteArray(kPrimary).replace("<name>hello", "<name>a/../b")));
        }
        args << "--repodata" << path("repo");
    }
    const Run run = runBuilder(QStringList{"-q", "-o", path("out.db")} + args);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith("quorvi-catalog: ") && run.err.contains(error), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(path("out.db")));
}

void HostileInputsTest::outputIsInput_data()
{
    QTest::addColumn<QString>("output"); // relative to the test folder
    QTest::addColumn<QStringList>("args");
    QTest::newRow("dpkg status") << "adm/status" << QStringList{"--dpkg-admin", "@adm"};
    QTest::newRow("dpkg status, named") << "adm/status" << QStringList{"--dpkg-status", "@adm/status"};
    QTest::newRow("a dpkg .list") << "adm/info/pw.list" << QStringList{"--dpkg-admin", "@adm"};
    QTest::newRow("Packages through a hard link") << "Packages" << QStringList{"--packages", "@hard"};
    QTest::newRow("Packages through a symlink") << "link" << QStringList{"--packages", "@Packages"};
    QTest::newRow("Contents") << "Contents" << QStringList{"--packages", "@Packages", "--contents", "@Contents"};
    QTest::newRow("RPM primary") << "repo/repodata/p.xml" << QStringList{"--repodata", "@repo"};
}

// An output that is one of the inputs is refused, and the input keeps its bytes.
void HostileInputsTest::outputIsInput()
{
    QFETCH(QString, output);
    QFETCH(QStringList, args);
    makeDpkgAdmin("pw.list");
    makeRepo("repodata/p.xml");
    QVERIFY(writeBytes(path("repo/repodata/p.xml"), kPrimary));
    QVERIFY(QFile::copy(dataPath("Packages"), path("Packages")));
    QVERIFY(QFile::copy(dataPath("Contents"), path("Contents")));
    QCOMPARE(::link(qPrintable(path("Packages")), qPrintable(path("hard"))), 0);
    QVERIFY(QFile::link(path("Packages"), path("link")));
    args.replaceInStrings(QRegularExpression("^@"), m_dir->path() + "/");
    const QByteArray before = readBytes(path(output));
    QVERIFY(!before.isEmpty());

    const Run run = runBuilder(QStringList{"-q", "-o", path(output)} + args);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("is also the output catalogue"), qPrintable(run.err));
    QCOMPARE(readBytes(path(output)), before);
    const QFileInfo target(path(output));
    QCOMPARE(tempFilesOf(target.path(), target.fileName()), QStringList());
}

void HostileInputsTest::outputPath_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("error");
    QTest::newRow("a folder") << "folder" << "folder: is a folder";
    QTest::newRow("name ending in /") << "out/" << "out/: names a folder";
    QTest::newRow("missing folder") << "missing/out.db" << "cannot use the folder";
    QTest::newRow("a FIFO") << "fifo" << "fifo: not a regular file";
    QTest::newRow("name of 256 bytes") << QString(256, 'n') << "longer than the folder allows";
}

// The output path is checked before any input is read (the input here does
// not exist, so a late check would report the input instead).
void HostileInputsTest::outputPath()
{
    QFETCH(QString, output);
    QFETCH(QString, error);
    QVERIFY(QDir(m_dir->path()).mkpath("folder"));
    QVERIFY(QDir(m_dir->path()).mkpath("out"));
    QCOMPARE(::mkfifo(qPrintable(path("fifo")), 0600), 0);
    const Run run = runBuilder({"-q", "-o", path(output), "--packages", path("no-such-input")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith("quorvi-catalog: ") && run.err.contains(error), qPrintable(run.err));
    QVERIFY(!run.err.contains("no-such-input"));
    const QStringList all = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                          | QDir::NoDotAndDotDot);
    QCOMPARE(all, (QStringList{"fifo", "folder", "out"}));
    QVERIFY(QDir(path("out")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QVERIFY(QDir(path("folder")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

// A valid name close to the limit works: the temporary name is kept within it.
void HostileInputsTest::longOutputName()
{
    const long max = pathconf(qPrintable(m_dir->path()), _PC_NAME_MAX);
    QVERIFY(max > 20);
    const QString name = QString(int(max) - 12, 'n');
    const Run run = runBuilder({"-q", "-o", path(name), "--packages", dataPath("Packages")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(packageRows(path(name)).size(), 8);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{name});
}

// -o naming a symbolic link replaces the link; the file it led to is untouched.
void HostileInputsTest::symlinkedOutput()
{
    QVERIFY(writeBytes(path("elsewhere.db"), "old"));
    QVERIFY(QFile::link(path("elsewhere.db"), path("link.db")));
    const Run run = runBuilder({"-q", "-o", path("link.db"), "--packages", dataPath("Packages")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(!QFileInfo(path("link.db")).isSymLink());
    QCOMPARE(packageRows(path("link.db")).size(), 8);
    QCOMPARE(readBytes(path("elsewhere.db")), QByteArray("old"));
}

// Lines before a "FILE  LOCATION" header are its text and are skipped, but
// never silently: the summary counts them.
void HostileInputsTest::contentsHeaderCounted()
{
    QVERIFY(writeBytes(path("Contents"), "usr/bin/gcc-12    devel/gcc-12\n"
                                         "\n"
                                         "usr/sbin/adduser    admin/adduser\n"
                                         "FILE                 LOCATION\n"
                                         "bin/more    util-linux\n"));
    const Run run = runBuilder({"-q", "-o", path("out.db"), "--packages", dataPath("Packages"),
                                "--contents", path("Contents")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains("2 lines before a Contents header"), qPrintable(run.out));
    const QStringList files = fileRows(path("out.db"));
    QVERIFY(!files.isEmpty());
    for (const QString &row : files)
        QVERIFY2(row.startsWith("util-linux|") && row.endsWith("|/bin/more"), qPrintable(row));
}

void HostileInputsTest::malformedStanzas_data()
{
    QTest::addColumn<QString>("option"); // --packages, --dpkg-status, --contents, --repodata
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    const QByteArray pkgA = "Package: a\nVersion: 1.0-1\nArchitecture: all\n";
    const QByteArray installed = "Status: install ok installed\n";
    QTest::newRow("missing blank line") << "--packages" << pkgA + "Package: b\nVersion: 2\n"
                                        << "input:4: malformed stanza: field Package given twice";
    QTest::newRow("repeated field, other case") << "--packages" << pkgA + "architecture: amd64\n"
                                                << "input:4: malformed stanza: field architecture given twice";
    QTest::newRow("Version: 1:") << "--packages" << QByteArray("Package: a\nArchitecture: all\nVersion: 1:\n")
                                 << "input:3: malformed stanza: version \"1:\" has no upstream part";
    QTest::newRow("Version: -") << "--packages" << QByteArray("Package: a\nVersion: -\nArchitecture: all\n")
                                << "input:2: malformed stanza: version \"-\" has no upstream part";
    QTest::newRow("Version: 2:-1") << "--packages" << QByteArray("Package: a\nVersion: 2:-1\nArchitecture: all\n")
                                   << "input:2: malformed stanza: version \"2:-1\"";
    QTest::newRow("Version: 1.0-") << "--packages" << QByteArray("Package: a\nVersion: 1.0-\nArchitecture: all\n")
                                   << "input:2: malformed stanza: version \"1.0-\" has an empty revision";
    QTest::newRow("status: Version: 1:2-")
        << "--dpkg-status" << "Package: a\nVersion: 1:2-\nArchitecture: all\n" + installed
        << "input:2: malformed stanza: version \"1:2-\" has an empty revision";
    QTest::newRow("no name") << "--packages" << QByteArray("Version: 1\nArchitecture: all\n")
                             << "input:1: malformed stanza: no Package field";
    QTest::newRow("status: missing blank line")
        << "--dpkg-status" << pkgA + installed + "\nPackage: b\n" + installed + "Package: c\n"
        << "input:8: malformed stanza: field Package given twice";
    QTest::newRow("status: Version: 1:")
        << "--dpkg-status" << "Package: a\nVersion: 1:\nArchitecture: all\n" + installed
        << "input:2: malformed stanza: version \"1:\"";
    QTest::newRow("Contents: no package name") << "--contents" << QByteArray("usr/bin/x    admin/\n")
                                               << "input:1: Contents location \"admin/\" lists a package without a name";
    QTest::newRow("Contents: empty list item") << "--contents" << QByteArray("usr/bin/x    admin/a,,b\n")
                                               << "input:1: Contents location";
    const QByteArray head = "<?xml version=\"1.0\"?>\n<metadata>\n";
    QTest::newRow("RPM: no <name>")
        << "--repodata" << head + "<package type=\"rpm\"><arch>noarch</arch><version ver=\"1\"/></package></metadata>"
        << "input:3: <package> without a name";
    QTest::newRow("RPM: no <version>")
        << "--repodata" << head + "<package type=\"rpm\"><name>x</name><arch>noarch</arch></package></metadata>"
        << "input:3: <package> without a version";
    QTest::newRow("RPM: empty ver")
        << "--repodata" << head + "<package type=\"rpm\"><name>x</name><arch>noarch</arch><version ver=\"\"/></package></metadata>"
        << "input:3: <package> without a version";
    QTest::newRow("RPM: <name> twice")
        << "--repodata" << head + "<package type=\"rpm\"><name>x</name><name>y</name></package></metadata>"
        << "input:3:\\d+: XML error: <name> given twice";
    QTest::newRow("RPM filelists: no <version>")
        << "--repodata" << QByteArray("<filelists>\n<package name=\"hello\" arch=\"x86_64\"><file>/x</file></package></filelists>")
        << "filelists.xml:2: <package> without a version";
}

// A malformed stanza is an error at its line in every reader, never a row
// with an empty or merged field.
void HostileInputsTest::malformedStanzas()
{
    QFETCH(QString, option);
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    QStringList args{"--packages", dataPath("Packages")};
    if (option == "--repodata" && text.startsWith("<filelists>")) {
        makeRepo("repodata/primary.xml", "repodata/filelists.xml");
        QVERIFY(writeBytes(path("repo/repodata/primary.xml"), kPrimary));
        QVERIFY(writeBytes(path("repo/repodata/filelists.xml"), text));
        args = QStringList{"--repodata", path("repo")};
    } else if (option == "--repodata") {
        makeRepo("repodata/input");
        QVERIFY(writeBytes(path("repo/repodata/input"), text));
        args = QStringList{"--repodata", path("repo")};
    } else {
        QVERIFY(writeBytes(path("input"), text));
        if (option == "--contents") {
            args << option << path("input");
        } else {
            args = QStringList{option, path("input")};
        }
    }
    const Run run = runBuilder(QStringList{"-q", "-o", path("out.db")} + args);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(QRegularExpression("^quorvi-catalog: \\S*" + error).match(run.err).hasMatch(),
             qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(path("out.db")));
}

// The finder reads catalogues without writing beside them; a write-ahead-log one needs
// special care there, so the builder always writes a rollback-journal catalogue.
void HostileInputsTest::rollbackJournalCatalogue()
{
    const Run run = runBuilder({"-q", "-o", path("out.db"), "--packages", dataPath("Packages"),
                                "--contents", dataPath("Contents")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QByteArray header = readBytes(path("out.db")).left(100);
    QVERIFY(header.startsWith("SQLite format 3"));
    QCOMPARE(int(header.at(18)), 1); // file format write version: 1 legacy, 2 WAL
    QCOMPARE(int(header.at(19)), 1); // read version
    QCOMPARE(query(path("out.db"), "PRAGMA journal_mode"), QStringList{"delete"});
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.db"});
}

QTEST_GUILESS_MAIN(HostileInputsTest)
#include "tst_hostileinputs.moc"
