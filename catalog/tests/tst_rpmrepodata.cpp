// Builds a real RPM repository at test time (rpmbuild + createrepo_c from the
// .spec files in data/rpm) and checks what quorvi-catalog reads from it.

#include "catalogtestsupport.h"
#include "memorysource.h"
#include "parseerror.h"
#include "rpmfilelistsparser.h"
#include "rpmprimaryparser.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace CatalogTest;

namespace {
const QStringList kPackages{"quorvi-hello|1.2|3|noarch", "quorvi-tool|0.9.1|1.fc40|x86_64"};

// The directory entry /usr/share/quorvi-hello is left out; the ghost log is kept.
const QStringList kFiles{"quorvi-hello|noarch|/usr/bin/quorvi-hello",
                         "quorvi-hello|noarch|/usr/share/quorvi-hello/read me.txt",
                         "quorvi-hello|noarch|/var/log/quorvi-hello.log",
                         "quorvi-tool|x86_64|/etc/quorvi/tool.conf",
                         "quorvi-tool|x86_64|/usr/bin/quorvi-tool"};

} // namespace

class RpmRepodataTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void repository_data();
    void repository();
    void primaryFromMemory();
    void filelistsXmlError();
    void chunkingDoesNotMatter_data();
    void chunkingDoesNotMatter();

private:
    void recompressWithZstd(const QString &repodata);

    QTemporaryDir m_work;
    QString m_rpms;
};

void RpmRepodataTest::initTestCase()
{
    for (const char *tool : {"rpmbuild", "createrepo_c"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            QSKIP(qPrintable(QString("%1 is not installed (Debian packages rpm, createrepo-c)")
                                 .arg(tool)));
        }
    }
    QVERIFY(m_work.isValid());
    m_rpms = m_work.filePath("rpms");
    for (const char *spec : {"quorvi-hello.spec", "quorvi-tool.spec"}) {
        QVERIFY(runTool("rpmbuild",
                    {"--define", "_topdir " + m_work.filePath("top"), "--define",
                     "_rpmdir " + m_rpms, "--define", "debug_package %{nil}", "-bb",
                     dataPath(QString("rpm/") + spec)},
                    m_work.path()));
    }
}

void RpmRepodataTest::repository_data()
{
    QTest::addColumn<QString>("compression");
    QTest::addColumn<bool>("pointAtRepodata");
    QTest::newRow("gz, repository root") << "gz" << false;
    QTest::newRow("bz2, repository root") << "bz2" << false;
    QTest::newRow("xz, repodata folder") << "xz" << true;
    QTest::newRow("zstd, repodata folder") << "zstd" << true;
}

void RpmRepodataTest::repository()
{
    QFETCH(QString, compression);
    QFETCH(bool, pointAtRepodata);
    const QString repo = m_work.filePath("repo-" + compression);
    QVERIFY(QDir().mkpath(repo));
    QVERIFY(runTool("cp", {"-r", m_rpms + "/noarch", m_rpms + "/x86_64", repo}, m_work.path()));
    const bool zstd = compression == "zstd";
    QVERIFY(runTool("createrepo_c",
                {"--no-database", "--general-compress-type", zstd ? "gz" : compression, repo},
                m_work.path()));
    if (zstd) {
        recompressWithZstd(repo + "/repodata");
    }
    const QStringList metadata = QDir(repo + "/repodata").entryList({"*-filelists.xml.*"});
    QCOMPARE(metadata.size(), 1);
    QVERIFY2(metadata.first().endsWith(".xml." + QString(zstd ? "zst" : compression)),
             qPrintable(metadata.first()));

    const QString db = m_work.filePath("rpm-" + compression + ".db");
    const Run result = runBuilder({"-o", db, "--repodata",
                                   pointAtRepodata ? repo + "/repodata" : repo});
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QCOMPARE(packageRows(db), kPackages);
    QCOMPARE(fileRows(db), kFiles);
}

// Debian's createrepo_c cannot write zstd (Fedora's repositories use it), so
// the gzip metadata is recompressed and repomd.xml pointed at the new files.
void RpmRepodataTest::recompressWithZstd(const QString &repodata)
{
    if (QStandardPaths::findExecutable("zstd").isEmpty()) {
        QSKIP("zstd is not installed");
    }
    QByteArray repomd = readBytes(repodata + "/repomd.xml");
    for (const QString &gz : QDir(repodata).entryList({"*.xml.gz"})) {
        const QString zst = gz.chopped(3) + ".zst";
        QVERIFY(runTool("sh", {"-c", QString("cd '%1' && zcat '%2' | zstd -q > '%3' && rm '%2'")
                                     .arg(repodata, gz, zst)},
                    m_work.path()));
        repomd.replace(gz.toUtf8(), zst.toUtf8());
    }
    QVERIFY(writeBytes(repodata + "/repomd.xml", repomd));
}

// primary.xml parsing does not confuse nested "name" attributes or <file>
// entries with the package's own fields.
void RpmRepodataTest::primaryFromMemory()
{
    const std::string xml =
        "<?xml version=\"1.0\"?>\n"
        "<metadata xmlns=\"http://linux.duke.edu/metadata/common\""
        " xmlns:rpm=\"http://linux.duke.edu/metadata/rpm\" packages=\"2\">\n"
        "<package type=\"rpm\"><name>a</name><arch>x86_64</arch>"
        "<version ver=\"1\" rel=\"2\"/><format><rpm:provides>"
        "<rpm:entry name=\"not-a\"/></rpm:provides><file>/usr/bin/a</file></format></package>\n"
        "<package type=\"rpm\"><name>b</name><arch>src</arch>"
        "<version epoch=\"3\" ver=\"4.5\" rel=\"6.el9\"/></package>\n"
        "</metadata>\n";
    MemorySource source("primary.xml", xml, 5);
    QStringList found;
    RpmPrimaryParser::parse(source, [&](const RpmPackage &p) {
        found << QString::fromStdString(p.name + "|" + p.epoch + "|" + p.ver + "|" + p.rel + "|"
                                        + p.arch);
    });
    QCOMPARE(found, (QStringList{"a||1|2|x86_64", "b|3|4.5|6.el9|src"}));
}

void RpmRepodataTest::filelistsXmlError()
{
    const std::string xml = "<filelists>\n<package name=\"a\" arch=\"noarch\">\n"
                            "  <version ver=\"1\" rel=\"1\"/>\n  <file>/x</fil>\n";
    MemorySource source("filelists.xml", xml);
    try {
        RpmFilelistsParser::parse(source, [](const RpmPackage &, const std::vector<std::string> &) {
        });
        QFAIL("broken XML was accepted");
    } catch (const ParseError &e) {
        QCOMPARE(e.line(), uint64_t(4));
        QVERIFY(e.column() > 0);
        QVERIFY2(QString(e.what()).startsWith("filelists.xml:4:"), e.what());
    }
}

void RpmRepodataTest::chunkingDoesNotMatter_data()
{
    QTest::addColumn<QByteArray>("xml");
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata>\n";
    const QByteArray package = "<package type=\"rpm\"><name>p</name><arch>noarch</arch>"
                               "<version epoch=\"0\" ver=\"1\" rel=\"1\"/></package>\n";
    QTest::newRow("valid") << head + package.repeated(50) + "</metadata>\n";
    QTest::newRow("invalid UTF-8")
        << head + package.repeated(20) + "<package type=\"rpm\"><name>bad\xff\xfe</name>\n"
               + package.repeated(20) + "</metadata>\n";
    QTest::newRow("tag mismatch") << head + package + "<package type=\"rpm\"></pakage>\n";
    QTest::newRow("truncated") << head + package + "<package type=\"rpm\"><na";
}

// The packages reported, and the error and its position, must not depend on
// how the decompressor happens to chunk its output.
void RpmRepodataTest::chunkingDoesNotMatter()
{
    QFETCH(QByteArray, xml);
    auto parse = [&](size_t chunk) {
        MemorySource source("primary.xml", std::string_view(xml.constData(), size_t(xml.size())),
                            chunk);
        QStringList seen;
        try {
            RpmPrimaryParser::parse(source, [&](const RpmPackage &p) {
                seen << QString::fromStdString(p.name);
            });
        } catch (const ParseError &e) {
            seen << QString::fromUtf8(e.what());
        }
        return seen;
    };
    const QStringList whole = parse(1 << 20);
    QVERIFY(!whole.isEmpty());
    for (size_t chunk : {1, 3, 7, 4096})
        QCOMPARE(parse(chunk), whole);
}

QUORVI_GUARDED_TEST_MAIN(RpmRepodataTest)
#include "tst_rpmrepodata.moc"
