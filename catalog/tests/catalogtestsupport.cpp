#include "catalogtestsupport.h"

#include <QDir>
#include <QMetaMethod>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QtTest>
#include <catalogueblobs.h>
#include <catalogueschema.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace CatalogTest {

QString dataPath(const QString &relative)
{
    return QStringLiteral(QUORVI_CATALOG_TESTDATA "/") + relative;
}

Run runBuilder(const QStringList &args, int timeoutMs)
{
    QProcess process;
    process.start(QStringLiteral(QUORVI_CATALOG_BIN), args);
    Run run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("timed out or failed to start");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QStringList query(const QString &dbPath, const QString &sql, bool readOnly)
{
    QStringList rows;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dbPath);
        if (readOnly) {
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        }
        if (!db.open()) {
            rows << QStringLiteral("<open failed: %1>").arg(db.lastError().text());
        } else {
            QSqlQuery q(db);
            if (!q.exec(sql)) {
                rows << QStringLiteral("<query failed: %1>").arg(q.lastError().text());
            }
            while (q.next())
                rows << q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

QStringList packageRows(const QString &dbPath)
{
    return query(dbPath, QStringLiteral("SELECT name || '|' || ver || '|' || rel || '|' || arch"
                                        " FROM " QV_PKG_TABLE " ORDER BY id"));
}

namespace {
using CatalogueBlobs::FileRef;

// The file tables of a catalogue, decoded.
struct FileTables
{
    bool present = false;
    std::vector<std::string> names;
    std::vector<std::string> dirs;
    std::vector<std::vector<std::pair<uint32_t, uint32_t>>> nameLinks; // (pkg, dir) of each name
    std::vector<std::vector<uint32_t>> dirPkgs;
    std::map<uint32_t, std::vector<FileRef>> pkgFiles;
    std::map<uint32_t, std::vector<uint32_t>> trigrams;
    QStringList problems;
};

std::string blobOf(const QSqlQuery &q, int column)
{
    const QByteArray bytes = q.value(column).toByteArray();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// Reads a block table (id, first, texts, lists) in id order: its texts go to `texts`,
// and decodeLists(blob, count) decodes each block's lists for its `count` texts.
template<typename DecodeLists>
void readBlocks(QSqlDatabase &db, const char *table, std::vector<std::string> &texts,
                QStringList &problems, DecodeLists decodeLists)
{
    QSqlQuery q(db);
    if (!q.exec(QString("SELECT * FROM %1 ORDER BY 1").arg(table))) {
        problems << q.lastError().text();
    }
    for (int64_t expected = 0; q.next(); ++expected) {
        if (q.value(0).toLongLong() != expected || texts.size() % QV_NAMES_PER_BLOCK != 0) {
            problems << QString("%1: block %2 out of place").arg(table).arg(expected);
        }
        CatalogueBlobs::TextBlock block;
        CatalogueBlobs::decodeTexts(blobOf(q, 2), QV_NAMES_PER_BLOCK, block);
        if (block.size() == 0 || q.value(1).toByteArray().toStdString() != CatalogueBlobs::folded(block.text(0))) {
            problems << QString("%1: block %2 does not begin with its first").arg(table).arg(expected);
        }
        for (size_t i = 0; i < block.size(); ++i) {
            if (!texts.empty() && !CatalogueBlobs::foldedLess(texts.back(), block.text(i))) {
                problems << QString("%1: out of order: %2").arg(table, QString::fromStdString(std::string(block.text(i))));
            }
            texts.emplace_back(block.text(i));
        }
        decodeLists(blobOf(q, 3), block.size());
    }
}

void readInto(QSqlDatabase &db, FileTables &t)
{
    static_assert(QV_NAMES_PER_BLOCK == QV_DIRS_PER_BLOCK, "one block size for both tables");
    readBlocks(db, QV_NAME_BLOCK_TABLE, t.names, t.problems, [&t](const std::string &blob, size_t count) {
        CatalogueBlobs::NameLinks links;
        CatalogueBlobs::decodeLinks(blob, count, links);
        if (links.size() != count) {
            t.problems << "a name block with links for another number of names";
        }
        for (size_t i = 0; i < links.size(); ++i) {
            t.nameLinks.emplace_back();
            for (uint32_t k = links.begin(i); k < links.end(i); ++k)
                t.nameLinks.back().emplace_back(links.pkgs[k], links.dirs[k]);
            if (std::adjacent_find(t.nameLinks.back().begin(), t.nameLinks.back().end(),
                                   std::greater_equal<>()) != t.nameLinks.back().end()) {
                t.problems << "a name's links not strictly rising";
            }
        }
    });
    readBlocks(db, QV_DIR_BLOCK_TABLE, t.dirs, t.problems, [&t](const std::string &blob, size_t count) {
        CatalogueBlobs::IdLists lists;
        CatalogueBlobs::decodeIdLists(blob, count, lists);
        if (lists.size() != count) {
            t.problems << "a directory block with packages for another number of directories";
        }
        for (size_t i = 0; i < lists.size(); ++i)
            t.dirPkgs.emplace_back(lists.values.begin() + lists.begin(i), lists.values.begin() + lists.end(i));
    });
    QSqlQuery q(db);
    if (!q.exec("SELECT " QV_PKG_FILES_PKG ", " QV_PKG_FILES_DATA " FROM " QV_PKG_FILES_TABLE)) {
        t.problems << q.lastError().text();
    }
    while (q.next())
        CatalogueBlobs::decodeFiles(blobOf(q, 1), t.pkgFiles[q.value(0).toUInt()]);
    if (!q.exec("SELECT " QV_TRIGRAM_KEY ", " QV_TRIGRAM_BLOCKS " FROM " QV_TRIGRAM_TABLE)) {
        t.problems << q.lastError().text();
    }
    while (q.next())
        CatalogueBlobs::decodePostings(blobOf(q, 1), t.trigrams[q.value(0).toUInt()]);
}

FileTables readFileTables(const QString &dbPath)
{
    FileTables t;
    const QString connection = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(dbPath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        t.present = db.open() && db.tables().contains(QV_NAME_BLOCK_TABLE);
        try {
            if (t.present) {
                readInto(db, t);
            }
        } catch (const CatalogueBlobs::BlobError &e) {
            t.problems << QString("undecodable: ") + e.what();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return t;
}

// Every link as (pkg, dir, name), from the name blocks.
std::set<std::tuple<uint32_t, uint32_t, uint32_t>> linksOf(const FileTables &t)
{
    std::set<std::tuple<uint32_t, uint32_t, uint32_t>> links;
    for (uint32_t name = 0; name < t.nameLinks.size(); ++name) {
        for (const auto &[pkg, dir] : t.nameLinks[name])
            links.emplace(pkg, dir, name);
    }
    return links;
}
} // namespace

QStringList fileRows(const QString &dbPath)
{
    const FileTables t = readFileTables(dbPath);
    const QStringList packages = query(dbPath, "SELECT name || '|' || arch FROM " QV_PKG_TABLE " ORDER BY id");
    const auto row = [&](uint32_t pkg, uint32_t dir, uint32_t name) {
        if (pkg < 1 || pkg > uint32_t(packages.size()) || dir >= t.dirs.size() || name >= t.names.size()) {
            return QString("<link out of range>");
        }
        return packages.at(int(pkg - 1)) + '|' + QString::fromStdString(t.dirs[dir] + '/' + t.names[name]);
    };
    QStringList rows = t.problems;
    std::set<std::tuple<uint32_t, uint32_t, uint32_t>> fromPackages;
    for (const auto &[pkg, files] : t.pkgFiles) {
        for (const FileRef &file : files)
            fromPackages.emplace(pkg, file.dir, file.name);
    }
    const auto links = linksOf(t);
    for (const auto &[pkg, dir, name] : links)
        rows << row(pkg, dir, name);
    if (fromPackages != links) {
        rows << "<package files differ from the name links>";
    }
    rows.sort();
    return rows;
}

QStringList fileTableProblems(const QString &dbPath)
{
    const FileTables t = readFileTables(dbPath);
    QStringList problems = t.problems;
    if (!t.present) {
        return problems;
    }
    std::vector<std::vector<uint32_t>> dirPkgs(t.dirs.size());
    for (const auto &[pkg, dir, name] : linksOf(t)) {
        if (dir >= dirPkgs.size()) {
            return problems << "directory id out of range";
        }
        if (dirPkgs[dir].empty() || dirPkgs[dir].back() != pkg) {
            dirPkgs[dir].push_back(pkg);
        }
    }
    if (dirPkgs != t.dirPkgs) {
        problems << "the directories' packages are not those of the links";
    }
    std::map<uint32_t, std::vector<uint32_t>> trigrams;
    for (size_t id = 0; id < t.names.size(); ++id) {
        const std::string name = CatalogueBlobs::folded(t.names[id]);
        const auto block = uint32_t(id / QV_NAMES_PER_BLOCK);
        const auto add = [&](uint32_t key) {
            std::vector<uint32_t> &blocks = trigrams[key];
            if (blocks.empty() || blocks.back() != block) {
                blocks.push_back(block);
            }
        };
        for (size_t i = 0; i + 3 <= name.size(); ++i)
            add(CatalogueBlobs::trigramKey(name[i], name[i + 1], name[i + 2]));
        if (!name.empty()) {
            add(CatalogueBlobs::endKey(name.back(), name.size() > 1 ? name[name.size() - 2] : 0));
        }
    }
    if (trigrams != t.trigrams) {
        problems << "the trigram table is not that of the names' trigrams and endings";
    }
    return problems;
}

QStringList schemaNames(const QString &dbPath)
{
    return query(dbPath, QStringLiteral("SELECT name FROM sqlite_master"
                                        " WHERE type IN ('table', 'index') AND name LIKE 'qv_%'"
                                        " ORDER BY name"));
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList tempFilesOf(const QString &dir, const QString &base)
{
    return QDir(dir).entryList({QLatin1Char('.') + base + QStringLiteral(".tmp-*")},
                               QDir::Files | QDir::Hidden);
}

namespace {
bool isTestFunction(const QMetaMethod &method)
{
    const QByteArray name = method.name();
    return method.methodType() == QMetaMethod::Slot && method.access() == QMetaMethod::Private
           && method.parameterCount() == 0 && !name.endsWith("_data")
           && name != "initTestCase" && name != "cleanupTestCase" && name != "init"
           && name != "cleanup";
}

// QtTest options that take a value.
bool takesValue(const QString &option)
{
    return option == "-o" || option == "-maxwarnings" || option == "-eventdelay"
           || option == "-keydelay" || option == "-mousedelay" || option == "-seed";
}
} // namespace

int execGuarded(QObject *test, int argc, char **argv)
{
    QStringList options;
    QStringList functions; // the ones asked for, else every test function
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg.startsWith('-')) {
            options << arg;
            if (takesValue(arg) && i + 1 < argc) {
                options << QString::fromLocal8Bit(argv[++i]);
            }
        } else {
            functions << arg;
        }
    }
    if (functions.isEmpty()) {
        const QMetaObject *meta = test->metaObject();
        for (int m = meta->methodOffset(); m < meta->methodCount(); ++m) {
            if (isTestFunction(meta->method(m))) {
                functions << QString::fromLatin1(meta->method(m).name());
            }
        }
    }
    // One run of QtTest for each function: after an exception QtTest cannot go on, and
    // it no longer tells which function threw.
    int failures = 0;
    for (const QString &function : functions) {
        try {
            failures += QTest::qExec(test, QStringList{QString::fromLocal8Bit(argv[0])} + options
                                               + QStringList{function});
        } catch (const std::exception &e) {
            ++failures;
            qWarning("%s: exception: %s", qPrintable(function), e.what());
        } catch (...) {
            ++failures;
            qWarning("%s: exception", qPrintable(function));
        }
    }
    return failures;
}

bool runTool(const QString &program, const QStringList &args, const QString &home)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    const bool ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
                    && process.exitCode() == 0;
    if (!ok) {
        qWarning("%s failed: %s", qPrintable(program), process.readAll().constData());
    }
    return ok;
}

} // namespace CatalogTest
