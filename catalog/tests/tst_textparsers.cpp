// Unit tests of the line-based parsers, fed from memory.

#include "catalogtestsupport.h"
#include "contentsparser.h"
#include "debianversion.h"
#include "dpkgfilelist.h"
#include "fileindex.h"
#include "linereader.h"
#include "memorysource.h"
#include "packagesparser.h"
#include "parseerror.h"
#include "stringinterner.h"

#include <QtTest>

namespace {
QString str(std::string_view s)
{
    return QString::fromUtf8(s.data(), int(s.size()));
}

QStringList readLines(const QByteArray &data, size_t chunk, size_t blockSize)
{
    MemorySource source("mem", std::string_view(data.constData(), size_t(data.size())), chunk);
    LineReader reader(source, blockSize);
    QStringList lines;
    std::string_view line;
    while (reader.next(line))
        lines << QString::number(reader.lineNumber()) + QLatin1Char(':') + str(line);
    return lines;
}

QStringList parsePackages(const QByteArray &text, PackagesParser::Mode mode)
{
    MemorySource source("Packages", std::string_view(text.constData(), size_t(text.size())), 7);
    LineReader reader(source, 16);
    QStringList stanzas;
    PackagesParser::parse(reader, mode, [&](const PackageStanza &s) {
        stanzas << QStringLiteral("%1@%2 %3 %4")
                       .arg(str(s.package))
                       .arg(s.line)
                       .arg(str(s.version), str(s.architecture));
    });
    return stanzas;
}

// Parses `text` as Contents; returns "path => location" lines or "error: ...".
QStringList parseContents(const QByteArray &text)
{
    MemorySource source("Contents", std::string_view(text.constData(), size_t(text.size())));
    LineReader reader(source);
    QStringList entries;
    try {
        ContentsParser::parse(reader, [&](std::string_view path, std::string_view location) {
            entries << str(path) + QStringLiteral(" => ") + str(location);
        });
    } catch (const ParseError &e) {
        entries << QStringLiteral("error: ") + QString::fromUtf8(e.what());
    }
    return entries;
}
} // namespace

class TextParsersTest : public QObject
{
    Q_OBJECT

private slots:
    void debianVersion_data();
    void debianVersion();
    void lineReader_data();
    void lineReader();
    void lineReaderRejectsBinary();
    void packagesStanzas_data();
    void packagesStanzas();
    void packagesErrors_data();
    void packagesErrors();
    void contentsSplit_data();
    void contentsSplit();
    void contentsLocations();
    void contentsFiles_data();
    void contentsFiles();
    void dpkgFileList();
    void fileIndexPaths_data();
    void fileIndexPaths();
    void fileIndexDropsDuplicateLinks();
    void internerBlockFilledExactly();
};

void TextParsersTest::debianVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("upstream");
    QTest::addColumn<QString>("revision");
    QTest::newRow("plain") << "2.38.1-5" << "2.38.1" << "5";
    QTest::newRow("epoch dropped") << "1:2.38.1-5+b1" << "2.38.1" << "5+b1";
    QTest::newRow("native") << "3.134" << "3.134" << "0";
    QTest::newRow("native with epoch") << "2:3.134" << "3.134" << "0";
    QTest::newRow("split at last dash") << "2:1.0-rc1-3" << "1.0-rc1" << "3";
    QTest::newRow("tilde kept") << "1.0~beta2-0ubuntu1" << "1.0~beta2" << "0ubuntu1";
    QTest::newRow("empty revision") << "1.0-" << "1.0" << "0";
}

void TextParsersTest::debianVersion()
{
    QFETCH(QString, version);
    QFETCH(QString, upstream);
    QFETCH(QString, revision);
    const std::string text = version.toStdString();
    const DebianVersion v = DebianVersion::split(text);
    QCOMPARE(str(v.upstream), upstream);
    QCOMPARE(str(v.revision), revision);
}

void TextParsersTest::lineReader_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("lines");
    const QStringList abc{"1:alpha", "2:", "3:gamma"};
    QTest::newRow("newline at end") << QByteArray("alpha\n\ngamma\n") << abc;
    QTest::newRow("no newline at end") << QByteArray("alpha\n\ngamma") << abc;
    QTest::newRow("CRLF") << QByteArray("alpha\r\n\r\ngamma\r\n") << abc;
    QTest::newRow("empty input") << QByteArray() << QStringList();
    QTest::newRow("only a newline") << QByteArray("\n") << QStringList{"1:"};
    const QByteArray longLine(100, 'x');
    QTest::newRow("line longer than a block")
        << QByteArray(longLine + "\nend") << QStringList{"1:" + QString(longLine), "2:end"};
}

// Every chunking of the input and a tiny block size must give the same lines:
// lines cross read and buffer boundaries.
void TextParsersTest::lineReader()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, lines);
    for (size_t chunk : {1, 2, 3, 5, 64, 4096}) {
        QCOMPARE(readLines(data, chunk, 4), lines);
        QCOMPARE(readLines(data, chunk, 1 << 16), lines);
    }
}

void TextParsersTest::lineReaderRejectsBinary()
{
    const QByteArray data("text\nmore\nbin\0ary\n", 18);
    try {
        readLines(data, 4, 8);
        QFAIL("binary input was accepted");
    } catch (const ParseError &e) {
        QCOMPARE(e.line(), uint64_t(3));
        QCOMPARE(QString::fromStdString(e.file()), QStringLiteral("mem"));
    }
}

void TextParsersTest::packagesStanzas_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("dpkgStatus");
    QTest::addColumn<QStringList>("stanzas");
    QTest::newRow("continuation, unknown fields, blank runs")
        << QByteArray("\n\nPackage: a\nX-Custom: 1\nDescription: d\n more\n .\n"
                      "Version: 1-1\nArchitecture: all\n\n\n\n"
                      "package: b\nARCHITECTURE:amd64\nversion:   2.0  \n")
        << false << QStringList{"a@3 1-1 all", "b@13 2.0 amd64"};
    QTest::newRow("CRLF and tab continuation")
        << QByteArray("Package: c\r\nDescription: x\r\n\tcont\r\nVersion: 3\r\n"
                      "Architecture: i386\r\n")
        << false << QStringList{"c@1 3 i386"};
    QTest::newRow("dpkg status keeps installed only")
        << QByteArray("Package: in\nStatus: install ok installed\nVersion: 1\nArchitecture: all\n\n"
                      "Package: gone\nStatus: purge ok not-installed\nArchitecture: all\n\n"
                      "Package: conf\nStatus: deinstall ok config-files\nVersion: 2\n"
                      "Architecture: all\n")
        << true << QStringList{"in@1 1 all"};
    // A stanza without a Status field of its own is not installed, whatever the
    // stanza before it said.
    QTest::newRow("dpkg status: Status is the stanza's own")
        << QByteArray("Package: in\nStatus: install ok installed\nVersion: 1\nArchitecture: all\n\n"
                      "Package: no-status\nVersion: 2\nArchitecture: all\n\n"
                      "Package: in2\nVersion: 3\nArchitecture: amd64\nStatus: install ok installed\n")
        << true << QStringList{"in@1 1 all", "in2@10 3 amd64"};
    // Every status but not-installed and config-files leaves the files on
    // disk, whatever the want (hold, deinstall, purge) and flag words.
    const QList<QPair<QByteArray, bool>> statuses{
        {"install ok installed", true},         {"hold ok installed", true},
        {"deinstall ok installed", true},       {"purge ok installed", true},
        {"install ok half-configured", true},   {"install ok unpacked", true},
        {"install reinstreq half-installed", true}, {"install ok triggers-awaited", true},
        {"hold ok triggers-pending", true},     {"deinstall ok config-files", false},
        {"purge ok not-installed", false},      {"install ok not-installed", false},
        {"unknown ok not-installed", false},    {"install ok", false}};
    for (const auto &[status, counts] : statuses) {
        QTest::newRow("status " + status)
            << QByteArray("Package: p\nStatus: " + status + "\nVersion: 1\nArchitecture: all\n")
            << true << (counts ? QStringList{"p@1 1 all"} : QStringList());
    }
}

void TextParsersTest::packagesStanzas()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, dpkgStatus);
    QFETCH(QStringList, stanzas);
    const auto mode = dpkgStatus ? PackagesParser::Mode::DpkgStatus : PackagesParser::Mode::Packages;
    QCOMPARE(parsePackages(text, mode), stanzas);
}

void TextParsersTest::packagesErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("no Version") << QByteArray("Package: a\nVersion: 1\nArchitecture: all\n\n\n"
                                              "Package: b\nArchitecture: all\n")
                                << 6 << "no Version";
    QTest::newRow("no Package") << QByteArray("Version: 1\nArchitecture: all\n") << 1
                                << "no Package";
    QTest::newRow("no Architecture") << QByteArray("\nPackage: a\nVersion: 1\n") << 2
                                     << "no Architecture";
    QTest::newRow("line without colon") << QByteArray("Package: a\nthis is not a field\n") << 2
                                        << "Field: value";
    // A field needs a name: ": value" is no field, even in an otherwise complete stanza.
    QTest::newRow("line starting with a colon")
        << QByteArray("Package: a\nVersion: 1\nArchitecture: all\n: value\n") << 4 << "Field: value";
    QTest::newRow("installed without Version")
        << QByteArray("Package: a\nStatus: install ok installed\nArchitecture: all\n") << 1
        << "no Version";
}

void TextParsersTest::packagesErrors()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, message);
    const bool status = text.contains("Status:");
    try {
        parsePackages(text, status ? PackagesParser::Mode::DpkgStatus
                                   : PackagesParser::Mode::Packages);
        QFAIL("malformed input was accepted");
    } catch (const ParseError &e) {
        QCOMPARE(e.line(), uint64_t(line));
        QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
    }
}

void TextParsersTest::contentsSplit_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("location");
    QTest::newRow("plain") << "usr/bin/gcc     devel/gcc" << true << "usr/bin/gcc" << "devel/gcc";
    QTest::newRow("tab") << "usr/bin/gcc\tdevel/gcc" << true << "usr/bin/gcc" << "devel/gcc";
    QTest::newRow("blanks in path") << "usr/share/My Docs/a  b.txt   doc/x" << true
                                    << "usr/share/My Docs/a  b.txt" << "doc/x";
    QTest::newRow("trailing blanks") << "etc/x  admin/y   " << true << "etc/x" << "admin/y";
    QTest::newRow("leading slash") << "/usr/bin/gcc devel/gcc" << true << "usr/bin/gcc"
                                   << "devel/gcc";
    QTest::newRow("leading blanks") << "   usr/bin/gcc   devel/gcc" << true << "usr/bin/gcc"
                                    << "devel/gcc";
    QTest::newRow("leading tab and slash") << "\t/usr/bin/gcc devel/gcc" << true << "usr/bin/gcc"
                                           << "devel/gcc";
    QTest::newRow("several packages") << "bin/more   utils/a,admin/b" << true << "bin/more"
                                      << "utils/a,admin/b";
    QTest::newRow("no location") << "usr/bin/gcc" << false << "" << "";
    QTest::newRow("no location, trailing blank") << "usr/bin/gcc  " << false << "" << "";
    QTest::newRow("location only") << "   devel/gcc" << false << "" << "";
}

void TextParsersTest::contentsSplit()
{
    QFETCH(QString, line);
    QFETCH(bool, ok);
    const std::string text = line.toStdString();
    std::string_view path;
    std::string_view location;
    QCOMPARE(ContentsParser::splitLine(text, path, location), ok);
    if (ok) {
        QTEST(str(path), "path");
        QTEST(str(location), "location");
    }
}

void TextParsersTest::contentsLocations()
{
    QStringList names;
    ContentsParser::forEachPackage("utils/util-linux,non-free/admin/bsdutils,plain,,x/",
                                   [&](std::string_view n) { names << str(n); });
    QCOMPARE(names, (QStringList{"util-linux", "bsdutils", "plain"}));
}

void TextParsersTest::contentsFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("entries");
    const QByteArray header = "This file maps each file available in the Debian system to\n"
                              "the package from which it originates.\n\n";
    QTest::newRow("header skipped")
        << QByteArray(header + "FILE                 LOCATION\nbin/ls   utils/coreutils\n")
        << QStringList{"bin/ls => utils/coreutils"};
    QTest::newRow("no header, blank lines")
        << QByteArray("\nbin/ls   utils/coreutils\n\n  \nbin/cp utils/coreutils\n\n")
        << QStringList{"bin/ls => utils/coreutils", "bin/cp => utils/coreutils"};
    QTest::newRow("error line number before header decision")
        << QByteArray("bin/ls   utils/coreutils\n\nbin/broken\n")
        << QStringList{"bin/ls => utils/coreutils",
                       "error: Contents:3: Contents line without a location"
                       " (\"path  section/package\")"};
    QByteArray many;
    for (int i = 0; i < 300; ++i)
        many += "f" + QByteArray::number(i) + " s/p\n";
    many += "no-location\n";
    QStringList expected;
    for (int i = 0; i < 300; ++i)
        expected << QStringLiteral("f%1 => s/p").arg(i);
    expected << "error: Contents:301: Contents line without a location (\"path  section/package\")";
    QTest::newRow("error after the header window") << many << expected;
}

void TextParsersTest::contentsFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, entries);
    QCOMPARE(parseContents(text), entries);
}

void TextParsersTest::dpkgFileList()
{
    const QByteArray list = "/.\n/bin\n/bin/bash\n/usr\n/usr/bin\n/usr/bin/x\n/usr/bin-extra\n"
                            "/usr/share/doc/pkg\n/usr/share/doc/pkg/README\n/etc/empty.d/\n";
    MemorySource source("pkg.list", std::string_view(list.constData(), size_t(list.size())), 3);
    LineReader reader(source, 8);
    QStringList files;
    for (const std::string &f : DpkgFileList::readFiles(reader))
        files << QString::fromStdString(f);
    QCOMPARE(files, (QStringList{"/bin/bash", "/usr/bin/x", "/usr/bin-extra",
                                 "/usr/share/doc/pkg/README", "/etc/empty.d"}));
}

void TextParsersTest::fileIndexPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("name");
    QTest::newRow("relative") << "usr/bin/gcc" << "/usr/bin" << "gcc";
    QTest::newRow("absolute") << "/usr/bin/gcc" << "/usr/bin" << "gcc";
    QTest::newRow("top level") << "README" << "" << "README";
    QTest::newRow("top level absolute") << "/vmlinuz" << "" << "vmlinuz";
    QTest::newRow("trailing slash") << "etc/x.d/" << "/etc" << "x.d";
    QTest::newRow("blanks") << "usr/share/My Docs/a b" << "/usr/share/My Docs" << "a b";
}

void TextParsersTest::fileIndexPaths()
{
    QFETCH(QString, path);
    FileIndex index;
    FileIndex::PathIds ids;
    QVERIFY(index.intern(path.toStdString(), ids));
    QTEST(QString::fromStdString(index.dirPath(ids.dir)), "dir");
    QTEST(str(index.names().text(ids.name)), "name");
    FileIndex::PathIds none;
    QVERIFY(!index.intern("/", none));
}

void TextParsersTest::fileIndexDropsDuplicateLinks()
{
    FileIndex index;
    FileIndex::PathIds a;
    FileIndex::PathIds b;
    QVERIFY(index.intern("usr/bin/a", a));
    QVERIFY(index.intern("/usr/bin/b", b));
    FileIndex::PathIds again;
    QVERIFY(index.intern("/usr/bin/a", again));
    QCOMPARE(again.dir, a.dir);
    QCOMPARE(again.name, a.name);
    QCOMPARE(index.dirs().size(), size_t(1));
    for (uint32_t pkg : {2u, 1u, 2u})
        index.link(pkg, a);
    index.link(1, b);
    index.link(1, again);
    index.finish();
    // Each link once, by name, then package.
    QList<QPair<QString, uint32_t>> links; // (name, pkg)
    index.links().forEach(LinkStore::Order::ByName, [&](const FileIndex::Link &link) {
        links.append({str(index.nameAt(link.name)), link.pkg});
    });
    QCOMPARE(links, (QList<QPair<QString, uint32_t>>{{"a", 1u}, {"a", 2u}, {"b", 1u}}));
    QCOMPARE(index.linkCount(), uint64_t(3));
}

// Texts that fill a 4 MiB block of the interner to its last byte, then an empty text
// (the last one so far: a reference past the block would point into a block that does not
// exist yet, which the sanitizer build reports), then more: each comes back as it went in.
void TextParsersTest::internerBlockFilledExactly()
{
    StringInterner interner;
    const std::string big((size_t(4) << 20) - 1, 'a');
    const std::vector<std::string> texts{big, "b", "", "c", big.substr(1), "dd", ""};
    std::vector<uint32_t> ids;
    for (const std::string &text : texts) {
        ids.push_back(interner.intern(text));
        for (size_t i = 0; i < ids.size(); ++i)
            QVERIFY2(interner.text(ids[i]) == texts[i], qPrintable(QString::number(i)));
    }
    QCOMPARE(interner.size(), size_t(6)); // the second empty text is the first one
}

QUORVI_GUARDED_TEST_MAIN(TextParsersTest)
#include "tst_textparsers.moc"
