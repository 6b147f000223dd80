#include "filesearch.h"
#include "cataloguefixtures.h"
#include "keywordlikepattern.h"

#include <catalogueblobs.h>
#include <catalogueschema.h>

#include <QFile>
#include <cstring>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

Q_DECLARE_METATYPE(FilePlan)

// The file-name search engine over a catalogue made by quorvi-catalog from generated
// Packages and Contents text: its rows and first paths against SQLite's own LIKE over the
// same file list, the plan each class of keyword takes, and crafted BLOBs.
namespace {

struct File
{
    QString package;
    QString path; // as Contents lists it, without the leading "/"
};

// A file list large enough for many name and directory blocks, with the odd names a
// search must get right: wildcard characters, case, UTF-8, files in the root directory.
QList<File> generatedFiles()
{
    QList<File> files;
    const QStringList words{"ssl", "gtk", "qt", "z", "crypto", "xml2", "ssh", "png"};
    for (int p = 0; p < 40; ++p) {
        const QString pkg = QStringLiteral("pkg%1").arg(p, 2, 10, QLatin1Char('0'));
        files << File{pkg, "usr/share/doc/" + pkg + "/copyright"} << File{pkg, "usr/share/doc/" + pkg + "/changelog.gz"};
        for (int k = 0; k < 12; ++k) {
            const QString word = words.at((p + k) % words.size());
            files << File{pkg, QStringLiteral("usr/lib/x86_64-linux-gnu/lib%1%2.so.%3").arg(word).arg(p * 12 + k).arg(k % 4)};
            files << File{pkg, QStringLiteral("usr/include/linux/%1_%2.h").arg(word).arg(p * 12 + k)};
            files << File{pkg, QStringLiteral("usr/share/%1/%2/data%3.desktop").arg(word).arg(p).arg(k)};
        }
        if (p % 3 == 0) {
            files << File{pkg, QStringLiteral("usr/share/locale/l%1/LC_MESSAGES/%2.mo").arg(p).arg(pkg)};
        }
    }
    files << File{"gcc", "usr/bin/gcc"} << File{"gcc", "usr/share/doc/gcc/README"} << File{"busybox", "bin/gcc"}
          << File{"localgcc", "usr/local/bin/gcc"} << File{"localgcc", "usr/local/bin/gcc-12"}
          << File{"gcc", "usr/libexec/gcc"} << File{"pkg01", "usr/share/pkg01/copyright"}
          << File{"gcc12", "usr/bin/gcc-12"} << File{"gcc12", "usr/lib/gcc/x86_64-linux-gnu/12/cc1"}
          << File{"oddnames", "usr/share/odd/100%done"} << File{"oddnames", "usr/share/odd/x86_64_only"}
          << File{"oddnames", "usr/share/odd/back\\slash"} << File{"oddnames", "usr/share/odd/star*name"}
          << File{"oddnames", "usr/share/odd/Makefile"} << File{"pkg07", "usr/share/odd/makefile"}
          << File{"oddnames", "opt/Mixed/Case/README"} << File{"oddnames", "usr/share/odd/H"} << File{"utf8names", "usr/share/utf8/café"}
          << File{"utf8names", "usr/share/utf8/CAFÉ.txt"} << File{"utf8names", "usr/share/utf8/€uro"}
          << File{"pkg03", "usr/share/utf8/naïve €"} << File{"kernel", "vmlinuz"} << File{"kernel", "initrd.img"}
          << File{"pkg05", "usr/bin/zz"} << File{"pkg05", "usr/share/doc-base/pkg05"};
    // Files under the folders that a merged-/usr system links into /usr, shipped under
    // either name.
    files << File{"coreutils", "bin/ls"} << File{"nettools", "sbin/ifconfig"}
          << File{"libc6", "lib/x86_64-linux-gnu/libc.so.6"} << File{"libc6", "lib64/ld-linux-x86-64.so.2"}
          << File{"libc6", "usr/lib/x86_64-linux-gnu/libc.so.6"} << File{"zlib", "usr/lib/x86_64-linux-gnu/libz.so.1"}
          << File{"multilib", "usr/lib32/libz.so.1"} << File{"multilib", "libx32/libz.so.1"};
    // A directory's own files between its subdirectories', and neighbours that sort
    // before "/" ("-", ".", " ") or after it.
    for (const char *path : {"usr/share/icons/Papirus/index.theme", "usr/share/icons/Papirus/16x16/apps/a.svg",
                             "usr/share/icons/Papirus/16x16/apps/B.svg", "usr/share/icons/Papirus/16x16@2x/x.svg",
                             "usr/share/icons/Papirus/16", "usr/share/icons/Papirus/16x16-extra",
                             "usr/share/icons/Papirus/zz", "usr/share/icons/Papirus-Dark/index.theme",
                             "usr/share/icons/Papirus.old/y", "usr/share/icons/Papirus 2/z", "usr/share/icons",
                             "README.icons"})
        files << File{"icons", path};
    return files;
}

// A file's other name on a merged-/usr system, where /bin, /sbin, /lib, /lib32, /lib64
// and /libx32 are links to the folders of the same name in /usr; the path itself if none.
QString otherName(const QString &path)
{
    for (const char *folder : {"/bin/", "/sbin/", "/lib/", "/lib32/", "/lib64/", "/libx32/"}) {
        if (path.startsWith(QLatin1String(folder))) {
            return "/usr" + path;
        }
        if (path.startsWith("/usr" + QLatin1String(folder))) {
            return path.mid(4);
        }
    }
    return path;
}

QString likePattern(const QString &keyword)
{
    return QString::fromStdString(keywordLikePattern(keyword.toStdString()));
}

sqlite3 *openDb(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    return db;
}

// Runs one statement, or without a BLOB to bind any number; false (with a warning) when
// one fails.
bool exec(sqlite3 *db, const char *sql, const QByteArray &blob = {})
{
    if (blob.isNull() && std::strchr(sql, ';')) {
        const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        if (!ok) {
            qWarning("%s: %s", sql, sqlite3_errmsg(db));
        }
        return ok;
    }
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        if (!blob.isNull()) {
            sqlite3_bind_blob(stmt, 1, blob.constData(), blob.size(), SQLITE_TRANSIENT);
        }
        rc = sqlite3_step(stmt);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        qWarning("%s: %s", sql, sqlite3_errmsg(db));
    }
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
}

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), int(s.size()));
}

} // namespace

class tst_FileEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void rowsEqualLike_data();
    void rowsEqualLike();
    void planPerKeyword_data();
    void planPerKeyword();
    void craftedCatalogue_data();
    void craftedCatalogue();
    void blobRules_data();
    void blobRules();
    void packageFilesInByteOrder();

private:
    QStringList referenceRows(const QByteArray &keyword);
    QTemporaryDir dir;
    QString catalogue;
    sqlite3 *db = nullptr;
    sqlite3 *ref = nullptr;
};

void tst_FileEngine::initTestCase()
{
    const QList<File> files = generatedFiles();
    QStringList packages;
    QFile contents(dir.filePath("Contents"));
    QVERIFY(contents.open(QIODevice::WriteOnly));
    for (const File &file : files) {
        contents.write((file.path + "    misc/" + file.package + "\n").toUtf8());
        if (!packages.contains(file.package)) {
            packages << file.package;
        }
    }
    contents.close();
    QFile list(dir.filePath("Packages"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    for (const QString &name : packages)
        list.write(("Package: " + name + "\nVersion: 1.0-1\nArchitecture: amd64\n\n").toUtf8());
    list.close();
    catalogue = dir.filePath("os_pkg_list.db");
    buildCatalogue(catalogue, {"--packages", list.fileName(), "--contents", contents.fileName()});
    QVERIFY(sqlite3_open_v2(catalogue.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK);

    // The reference: one row a file, the package by the id the catalogue gave it.
    ref = openDb(QStringLiteral(":memory:"));
    QVERIFY(exec(ref, "CREATE TABLE ref (pkg INTEGER, path TEXT, name TEXT, other TEXT)"));
    QVERIFY(exec(ref, ("ATTACH '" + catalogue.toUtf8() + "' AS cat").constData()));
    for (const File &file : files) {
        const QString path = '/' + file.path;
        const QString sql = QStringLiteral("INSERT INTO ref SELECT id, '%1', '%2', '%3' FROM cat." QV_PKG_TABLE " WHERE name = '%4'")
                                .arg(QString(path).replace('\'', "''"), path.mid(path.lastIndexOf('/') + 1).replace('\'', "''"),
                                     otherName(path).replace('\'', "''"), file.package);
        QVERIFY(exec(ref, sql.toUtf8().constData()));
    }
}

void tst_FileEngine::cleanupTestCase()
{
    sqlite3_close(db);
    sqlite3_close(ref);
}

// "id|first path|number of matching files" for each package, by SQLite's LIKE; a path
// keyword matches a file by either of its names, the row shows the path as shipped.
QStringList tst_FileEngine::referenceRows(const QByteArray &keyword)
{
    const QByteArray pattern = likePattern(QString::fromUtf8(keyword)).toUtf8();
    const QByteArray sql = "SELECT pkg, MIN(path), COUNT(*) FROM ref WHERE "
        + QByteArray(QByteArray(keyword.constData()).contains('/') ? "(path LIKE ?1 ESCAPE '\\' OR other" : "(name")
        + " LIKE ?1 ESCAPE '\\') GROUP BY pkg ORDER BY pkg";
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(ref, sql.constData(), -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, pattern.constData(), pattern.size(), SQLITE_TRANSIENT);
    QStringList rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        rows << QString::number(sqlite3_column_int64(stmt, 0)) + '|'
                + QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1))) + '|'
                + QString::number(sqlite3_column_int64(stmt, 2));
    }
    sqlite3_finalize(stmt);
    return rows;
}

void tst_FileEngine::rowsEqualLike_data()
{
    QTest::addColumn<QByteArray>("keyword");
    for (const char *keyword :
         {"gcc", "GCC", "zz", "lib*", "libssl1*", "LIBQT*.SO.?", "*.so", "*.SO.3", "*ssl*", "*a*", "*", "**", "?cc",
          "gcc-1?", "x86_64*", "x86?64*", "100%*", "*%*", "*_*", "back\\slash", "*\\*", "star*", "makefile",
          "café", "caf?", "CAF*", "caf\xc3\x89*", "\xe2\x82\xac" "uro", "?uro", "*\xc3\xaf*", "*?\xe2\x82\xac",
          "/usr/bin/gcc", "*/bin/gcc", "*/BIN/GCC", "/usr/share/doc/pkg01/*", "/usr/share/doc/*", "/usr/*/doc/*",
          "*/doc/*", "/usr/lib/*.so.1", "/usr/include/linux/*", "/usr/include/linux/ssl_*", "/vmlinuz", "/*",
          "/v*", "/*z", "*z", "*zz", "*.h", "*Qt*", "*qt*so*", "/usr/share/doc/pkg0?/copyright", "/opt/mixed/CASE/*", "/usr/bin/", "*/", "/",
          "*/utf8/caf?", "/usr/share/doc-base/*", "nomatch*", "*nomatch*", "/nomatch/*", "*.desktop", "*.H", "*h",
          "*h?", "?.desktop", "*ssl*.so", "*\xc3\xa9.txt", "*.TXT", "*\xc3\xa9", "*0.h", "*_1?.h", "*\x82\xac",
          "/usr/include/linux/*.h", "/usr/share/*/*.desktop", "*/LC_MESSAGES/*.mo", "/usr/share/doc/*z", "*/odd/*h",
          // The two names of a merged-/usr folder.
          "/usr/bin/ls", "/bin/ls", "/USR/BIN/LS", "/usr/sbin/ifconfig", "/lib/x86_64-linux-gnu/libc.so.6",
          "/usr/lib/x86_64-linux-gnu/libc.so.6", "/lib/x86_64-linux-gnu/libz.so.?", "/usr/lib64/ld-*", "/lib64/*",
          "/usr/lib32/*", "/lib32/libz.so.1", "/usr/libx32/libz*", "/usr/bin/*", "/bin/g?c", "/usr/binx/ls", "/usr/bin"})
        QTest::newRow(keyword) << QByteArray(keyword);
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("NUL ends the keyword") << QByteArray("gcc\0-12", 7);
    QTest::newRow("NUL after a star") << QByteArray("*.h\0*", 5);
}

void tst_FileEngine::rowsEqualLike()
{
    QFETCH(QByteArray, keyword);
    FileSearch search(db, keyword.toStdString());
    QStringList rows;
    for (const uint32_t pkg : search.packages()) {
        size_t total = 0;
        const std::vector<std::string> files = search.matchingFiles(pkg, 2, &total);
        const std::string first = search.firstPath(pkg);
        QVERIFY(!files.empty() && files.front() == first);
        rows << QString::number(pkg) + '|' + QString::fromStdString(first) + '|' + QString::number(total);
    }
    QCOMPARE(rows, referenceRows(keyword));
}

void tst_FileEngine::planPerKeyword_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<FilePlan>("plan");
    QTest::addColumn<QString>("reads");
    const QString names = QV_NAME_BLOCK_TABLE, dirs = QV_DIR_BLOCK_TABLE;
    QTest::newRow("exact") << "gcc" << FilePlan::NameRange << names;
    QTest::newRow("prefix") << "lib*.so.3" << FilePlan::NameRange << names;
    QTest::newRow("prefix of one letter") << "z*" << FilePlan::NameRange << names;
    QTest::newRow("non-ASCII after ASCII") << "caf\xc3\xa9" << FilePlan::NameRange << names;
    QTest::newRow("suffix of three") << "*.so" << FilePlan::NameEnds << names;
    QTest::newRow("substring") << "*ssl*" << FilePlan::NameTrigrams << names;
    QTest::newRow("suffix after a question mark") << "?.desktop" << FilePlan::NameEnds << names;
    QTest::newRow("suffix of two") << "*.h" << FilePlan::NameEnds << names;
    QTest::newRow("substring and suffix") << "*ssl*.so" << FilePlan::NameEnds << names;
    QTest::newRow("suffix after non-ASCII") << "*\xc3\xa9.txt" << FilePlan::NameEnds << names;
    QTest::newRow("two in a row") << "*qt*" << FilePlan::NameTrigrams << names;
    QTest::newRow("suffix of one") << "*h" << FilePlan::NameEnds << names;
    QTest::newRow("ends in a wildcard") << "*h?" << FilePlan::NameScan << names;
    QTest::newRow("single characters") << "*q?t*" << FilePlan::NameScan << names;
    QTest::newRow("star") << "*" << FilePlan::NameScan << QString(QV_PKG_FILES_TABLE);
    QTest::newRow("starts non-ASCII") << "\xc3\xa9t\xc3\xa9" << FilePlan::NameScan << names;
    QTest::newRow("path with a literal name") << "/usr/bin/gcc" << FilePlan::NameRange << names;
    QTest::newRow("any folder, literal name") << "*/bin/gcc" << FilePlan::NameRange << names;
    QTest::newRow("folder, empty name") << "/usr/bin/" << FilePlan::NameRange << names;
    QTest::newRow("literal folder") << "/usr/share/doc/*" << FilePlan::DirRange << dirs;
    QTest::newRow("literal folder, name pattern") << "/usr/lib/*.so" << FilePlan::DirRange << dirs;
    QTest::newRow("root folder") << "/*" << FilePlan::DirScan << dirs;
    QTest::newRow("no literal folder") << "*/doc/*" << FilePlan::DirScan << dirs;
}

// The plan for each class of keyword, and a statement that runs as it stands.
void tst_FileEngine::planPerKeyword()
{
    QFETCH(QString, keyword);
    QFETCH(FilePlan, plan);
    QFETCH(QString, reads);
    FileSearch search(db, keyword.toStdString());
    QCOMPARE(filePlanName(search.plan()), filePlanName(plan));
    search.packages();
    const std::string sql = search.statement();
    QVERIFY2(sql.find(" " + reads.toStdString()) != std::string::npos, sql.c_str());
    QVERIFY2(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK, sql.c_str());
}

void tst_FileEngine::craftedCatalogue_data()
{
    using namespace CatalogueBlobs;
    QTest::addColumn<QByteArray>("change");
    QTest::addColumn<QByteArray>("blob");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("failure"); // what the error says
    QTest::newRow("damaged names") << QByteArray("UPDATE " QV_NAME_BLOCK_TABLE " SET names = x'01ffff' WHERE id = 0")
                                   << QByteArray() << "*a*" << QString("compressed blob of unknown or too large size");
    QTest::newRow("names of the wrong count") << QByteArray("UPDATE " QV_NAME_BLOCK_TABLE " SET names = ?1 WHERE id = 0")
                                              << bytes(encodeTexts({"a", "b"})) << "*a*" << QString("of the wrong size");
    QTest::newRow("package out of range in links")
        << QByteArray("UPDATE " QV_NAME_BLOCK_TABLE " SET links = ?1 WHERE id = 0")
        << bytes(encodeLinks(std::vector<uint32_t>(64, 1), {99999}, {0})) << "?*" << QString("link out of range");
    QTest::newRow("directory out of range in links")
        << QByteArray("UPDATE " QV_NAME_BLOCK_TABLE " SET links = ?1 WHERE id = 0")
        << bytes(encodeLinks(std::vector<uint32_t>(64, 1), {1}, {99999})) << "?*" << QString("link out of range");
    QTest::newRow("directory out of range in files")
        << QByteArray("UPDATE " QV_PKG_FILES_TABLE " SET files = ?1") << bytes(encodeFiles({{99999, 0}})) << "*" << QString("file of package 1 out of range");
    QTest::newRow("name out of range in files")
        << QByteArray("UPDATE " QV_PKG_FILES_TABLE " SET files = ?1") << bytes(encodeFiles({{0, 9999999}})) << "/usr/lib/lib*" << QString("file of package 1 out of range");
    QTest::newRow("package out of range in directories")
        << QByteArray("UPDATE " QV_DIR_BLOCK_TABLE " SET pkgs = ?1")
        << bytes(encodeIdLists({std::vector<uint32_t>(64, 1), {99999}})) << "*/doc/*" << QString("package out of range in directory block");
    QTest::newRow("truncated posting lists")
        << QByteArray("UPDATE " QV_TRIGRAM_TABLE " SET blocks = substr(blocks, 1, length(blocks) - 1)") << QByteArray() << "*ssl*" << QString("part longer than its blob");
    QTest::newRow("block beyond the postings' range")
        << QByteArray("UPDATE " QV_TRIGRAM_TABLE " SET blocks = ?1") << bytes(encodePostings({1u << 30})) << "*ssl*" << QString("posting list of trigram");
    QTest::newRow("links to files that the packages do not ship")
        << QByteArray("DELETE FROM " QV_PKG_FILES_TABLE) << QByteArray() << "*a*" << QString("ships no file");
    // "ssl" is said to be in block 1 alone, and block 1 is gone: the read ends short.
    QTest::newRow("missing name block")
        << QByteArray("DELETE FROM " QV_NAME_BLOCK_TABLE " WHERE id = 1; UPDATE " QV_TRIGRAM_TABLE " SET blocks = x'"
                      + bytes(encodePostings({1})).toHex() + "' WHERE trigram = "
                      + QByteArray::number(trigramKey('s', 's', 'l')))
        << QByteArray() << "*ssl*" << QString("missing name block");
    QTest::newRow("name block out of order") << QByteArray("DELETE FROM " QV_NAME_BLOCK_TABLE " WHERE id = 1") << QByteArray()
                                             << "*a*" << QString("name blocks out of order");
    QTest::newRow("first texts emptied") << QByteArray("UPDATE " QV_NAME_BLOCK_TABLE " SET first = ''") << QByteArray() << "copyright" << QString("does not begin with its first text");
    QTest::newRow("stopped") << QByteArray() << QByteArray() << "*" << QString("search stopped");
    QTest::newRow("stopped scan") << QByteArray() << QByteArray() << "*a*" << QString("search stopped");
}

// Each crafted catalogue fails the search (its rows or its first paths) with
// FileSearchError, never with a crash.
void tst_FileEngine::craftedCatalogue()
{
    QFETCH(QByteArray, change);
    QFETCH(QByteArray, blob);
    QFETCH(QString, keyword);
    QFETCH(QString, failure);
    const QString copy = dir.filePath("crafted.db");
    QFile::remove(copy);
    QVERIFY(QFile::copy(catalogue, copy));
    sqlite3 *crafted = openDb(copy);
    if (!change.isEmpty()) {
        QVERIFY(exec(crafted, change.constData(), blob));
    }
    QString error;
    try {
        FileSearch search(crafted, keyword.toStdString(), [&] { return change.isEmpty(); });
        for (const uint32_t pkg : search.packages())
            search.firstPath(pkg);
    } catch (const FileSearchError &e) {
        error = QString::fromUtf8(e.what());
    }
    sqlite3_close(crafted);
    QVERIFY2(error.contains(failure) && !error.isEmpty(), qPrintable(error));
}

namespace {
QByteArray le32(uint32_t v)
{
    const char bytes[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    return QByteArray(bytes, 4);
}

// A BLOB stored raw: one part of `count` integers whose bytes are given as they are.
QByteArray rawPart(uint32_t count, const QByteArray &data)
{
    return le32(count) + le32(uint32_t(data.size())) + data;
}
} // namespace

void tst_FileEngine::blobRules_data()
{
    QTest::addColumn<QString>("decoder");
    QTest::addColumn<QByteArray>("blob");
    QTest::addColumn<QString>("failure");
    const QByteArray raw(1, '\0');
    // A zstd frame header that announces one byte more than the cap (single segment,
    // four-byte content size), with no blocks after it.
    const QByteArray zstdHeader = QByteArray("\x01\x28\xb5\x2f\xfd\xa0", 6) + le32(uint32_t((64u << 20) + 1));
    QTest::newRow("decoded size beyond the cap") << "postings" << zstdHeader << "too large";
    // StreamVByte: one key byte (two bits a value, 0 = one byte), then the values.
    QTest::newRow("byte after the last value") << "postings" << raw + rawPart(2, QByteArray("\x00\x01\x01\xaa", 4))
                                               << "wrong length";
    QTest::newRow("gap that wraps around") << "postings" << raw + rawPart(2, QByteArray("\x0c\x05\xff\xff\xff\xff", 6))
                                           << "out of order";
    QTest::newRow("repeated id") << "postings" << raw + rawPart(2, QByteArray("\x00\x05\x00", 3)) << "out of order";
    QTest::newRow("list gap that wraps around")
        << "idlists" << raw + rawPart(1, QByteArray("\x00\x02", 2)) + rawPart(2, QByteArray("\x0c\x05\xff\xff\xff\xff", 6))
        << "id out of range";
}

// Each rule a decoder keeps, broken by one crafted BLOB, fails with its own error.
void tst_FileEngine::blobRules()
{
    QFETCH(QString, decoder);
    QFETCH(QByteArray, blob);
    QFETCH(QString, failure);
    const std::string_view bytes(blob.constData(), size_t(blob.size()));
    QString error;
    try {
        std::vector<uint32_t> ids;
        CatalogueBlobs::IdLists lists;
        if (decoder == "postings") {
            CatalogueBlobs::decodePostings(bytes, ids);
        } else {
            CatalogueBlobs::decodeIdLists(bytes, 64, lists);
        }
    } catch (const CatalogueBlobs::BlobError &e) {
        error = QString::fromUtf8(e.what());
    }
    QVERIFY2(!error.isEmpty() && error.contains(failure), qPrintable(error));
}

// Every package's file list is its files' full paths in byte order, as SQLite sorts them.
void tst_FileEngine::packageFilesInByteOrder()
{
    sqlite3_stmt *stmt = nullptr;
    QCOMPARE(sqlite3_prepare_v2(ref, "SELECT pkg, path FROM ref ORDER BY pkg, path", -1, &stmt, nullptr), SQLITE_OK);
    QMap<uint32_t, QStringList> expected;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        expected[uint32_t(sqlite3_column_int64(stmt, 0))]
            << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1)));
    sqlite3_finalize(stmt);
    QVERIFY(expected.size() > 40);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QStringList files;
        for (const std::string &file : packageFiles(db, it.key()))
            files << QString::fromStdString(file);
        QCOMPARE(files, it.value());
    }
}

QTEST_GUILESS_MAIN(tst_FileEngine)
#include "tst_fileengine.moc"
