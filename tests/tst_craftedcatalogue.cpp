#include "mainwindow.h"
#include "testsupport.h"

#include <QtTest>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QFileInfo>
#include <QRadioButton>
#include <QTableView>

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// Catalogues made to hurt the finder: tables that are views or virtual tables, generated
// columns, damaged file lists, a FIFO in the catalogue's place, write-ahead-log catalogues
// and hot journals.
// Each ends in a box or in correct rows, the window stays usable, and no file is created
// beside the catalogue or changed.
class tst_CraftedCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void craftedTables_data();
    void craftedTables();
    void damagedFileLists_data();
    void damagedFileLists();
    void notARegularFile_data();
    void notARegularFile();
    void walCatalogue();
    void walWithPendingChanges();
    void hotJournal();

private:
    QString cataloguePath() const { return dir->filePath("os_pkg_list.db"); }
    QStringList folderEntries() const;
    void writeGccCatalogue(const QString &path);
    std::unique_ptr<CatalogueFolder> dir;
};

namespace {

const char writerConnection[] = "writer-of-the-catalogue";

void setFileMode(MainWindow &window, bool fileMode)
{
    clickRadio(window.findChild<QRadioButton *>(fileMode ? "fileNameRadioButton" : "packageNameRadioButton"));
    QCOMPARE(window.findChild<QRadioButton *>("fileNameRadioButton")->isChecked(), fileMode);
}

// Opens (and at once closes) the FIFO for writing every few seconds until stopped, so
// that a finder blocked in opening it gets an end of file: a finder that blocks then
// fails its test instead of hanging it. A finder that never opens the FIFO never notices.
class FifoReleaser
{
public:
    explicit FifoReleaser(const QString &path)
        : thread([this, name = QFile::encodeName(path)] {
            std::unique_lock<std::mutex> lock(mutex);
            while (!cv.wait_for(lock, std::chrono::seconds(5), [this] { return done; })) {
                const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        })
    {
    }
    ~FifoReleaser()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        cv.notify_all();
        thread.join();
    }

private:
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    std::thread thread;
};

} // namespace

void tst_CraftedCatalogue::init()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
}

void tst_CraftedCatalogue::cleanup()
{
    if (QSqlDatabase::contains(writerConnection)) {
        QSqlDatabase::database(writerConnection, false).close();
        QSqlDatabase::removeDatabase(writerConnection);
    }
    dir.reset();
}

QStringList tst_CraftedCatalogue::folderEntries() const
{
    return QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

void tst_CraftedCatalogue::writeGccCatalogue(const QString &path)
{
    writeCatalogue(path, {{"gcc", "12.2.0", "14", "amd64"}, {"vim", "9.0.1378", "2", "amd64"}});
    writeFileLists(path, {{1, "/usr/bin/gcc"}, {2, "/usr/bin/vim"}});
}

void tst_CraftedCatalogue::craftedTables_data()
{
    QTest::addColumn<QStringList>("statements"); // run on a sound catalogue
    QTest::addColumn<bool>("fileMode");
    QTest::addColumn<QString>("refusal");

    const QString view = QString::fromUtf8("不是普通的表");
    const QString generated = QString::fromUtf8("是生成列");
    struct Case { const char *name; QStringList statements; QString refusal; };
    const Case cases[] = {
        {"package table is a view over a recursive query",
         {"DROP TABLE qv_pkg_list_t",
          "CREATE VIEW qv_pkg_list_t AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r"
          " WHERE n < 50) SELECT n AS id, 'gcc' || n AS name, '1' AS ver, '1' AS rel, 'amd64' AS arch FROM r"},
         view},
        {"package table is a virtual table",
         {"DROP TABLE qv_pkg_list_t", "CREATE VIRTUAL TABLE qv_pkg_list_t USING fts5(id, name, ver, rel, arch)",
          "INSERT INTO qv_pkg_list_t VALUES (1, 'gcc', '1', '1', 'amd64')"},
         view},
        {"generated package name",
         {"DROP TABLE qv_pkg_list_t",
          "CREATE TABLE qv_pkg_list_t (id INTEGER PRIMARY KEY, seed TEXT, name TEXT GENERATED ALWAYS AS"
          " (seed || '-12') VIRTUAL, ver TEXT, rel TEXT, arch TEXT)",
          "INSERT INTO qv_pkg_list_t (id, seed, ver, rel, arch) VALUES (1, 'gcc', '1', '1', 'amd64')"},
         generated},
        {"stored generated column in the name blocks",
         {"CREATE TABLE names2 (id INTEGER PRIMARY KEY, first TEXT NOT NULL, names BLOB NOT NULL, links BLOB NOT NULL,"
          " big BLOB GENERATED ALWAYS AS (names || names) STORED)",
          "INSERT INTO names2 (id, first, names, links) SELECT id, first, names, links FROM qv_file_names_t",
          "DROP TABLE qv_file_names_t", "ALTER TABLE names2 RENAME TO qv_file_names_t"},
         generated},
        {"virtual generated column in the package files",
         {"CREATE TABLE files2 (pkg_id INTEGER PRIMARY KEY, raw BLOB NOT NULL,"
          " files BLOB GENERATED ALWAYS AS (raw) VIRTUAL)",
          "INSERT INTO files2 (pkg_id, raw) SELECT pkg_id, files FROM qv_pkg_files_t",
          "DROP TABLE qv_pkg_files_t", "ALTER TABLE files2 RENAME TO qv_pkg_files_t"},
         generated},
        {"name block table is a view over a recursive query",
         {"CREATE TABLE saved AS SELECT * FROM qv_file_names_t", "DROP TABLE qv_file_names_t",
          "CREATE VIEW qv_file_names_t AS WITH RECURSIVE r(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM r)"
          " SELECT n AS id, s.first, s.names, s.links FROM r, saved s"},
         view},
        {"directory block table is a view",
         {"CREATE TABLE saved AS SELECT * FROM qv_file_dirs_t", "DROP TABLE qv_file_dirs_t",
          "CREATE VIEW qv_file_dirs_t AS SELECT * FROM saved"},
         view},
        {"package file table is a view",
         {"CREATE TABLE saved AS SELECT * FROM qv_pkg_files_t", "DROP TABLE qv_pkg_files_t",
          "CREATE VIEW qv_pkg_files_t AS SELECT * FROM saved"},
         view},
        {"trigram table is a virtual table",
         {"DROP TABLE qv_name_trigrams_t", "CREATE VIRTUAL TABLE qv_name_trigrams_t USING fts5(trigram, blocks)"},
         view},
    };
    for (const Case &c : cases) {
        for (bool fileMode : {false, true})
            QTest::addRow("%s, %s", c.name, fileMode ? "file names" : "package names")
                << c.statements << fileMode << c.refusal;
    }
}

// A table that is no real table, or a generated column, is refused by its schema alone:
// at start-up with the open box, and at every search with the failed-search box.
void tst_CraftedCatalogue::craftedTables()
{
    QFETCH(QStringList, statements);
    QFETCH(bool, fileMode);
    QFETCH(QString, refusal);
    writeGccCatalogue(cataloguePath());
    execOnCatalogue(cataloguePath(), statements);
    const QByteArray before = fileBytes(cataloguePath());

    BoxCloser closer;
    MainWindow window;
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("无法打开数据库"));
    QVERIFY2(closer.boxes.first().informativeText.contains(refusal), qPrintable(closer.boxes.first().informativeText));
    QAbstractItemModel *headerModel = resultTable(window)->model();
    setFileMode(window, fileMode);
    closer.boxes.clear();

    for (const char *keyword : {"gcc", "*"}) {
        searchFor(window, keyword);
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
        QVERIFY2(closer.boxes.first().text.contains(refusal), qPrintable(closer.boxes.first().text));
        QCOMPARE(resultTable(window)->model(), headerModel);
        QCOMPARE(headerModel->rowCount(), 0);
        closer.boxes.clear();
    }
    QCOMPARE(fileBytes(cataloguePath()), before);
    QCOMPARE(folderEntries(), QStringList{"os_pkg_list.db"});
}

void tst_CraftedCatalogue::damagedFileLists_data()
{
    QTest::addColumn<QString>("statement"); // damages the file lists of a sound catalogue
    QTest::addColumn<QString>("keyword");
    const QString junk = "x'00ffffffffffffffff0102030405060708'";
    QTest::newRow("name texts") << "UPDATE qv_file_names_t SET names = " + junk << "gcc";
    QTest::newRow("name texts, scanned") << "UPDATE qv_file_names_t SET names = " + junk << "*c*";
    QTest::newRow("name links") << "UPDATE qv_file_names_t SET links = " + junk << "gcc";
    QTest::newRow("name links cut short") << "UPDATE qv_file_names_t SET links = substr(links, 1, length(links) / 2)" << "gcc";
    QTest::newRow("package files") << "UPDATE qv_pkg_files_t SET files = " + junk << "gcc";
    QTest::newRow("directory paths") << "UPDATE qv_file_dirs_t SET paths = " + junk << "gcc";
    QTest::newRow("directory packages") << "UPDATE qv_file_dirs_t SET pkgs = " + junk << "/usr/bin/*";
    QTest::newRow("trigram postings") << "UPDATE qv_name_trigrams_t SET blocks = " + junk << "*gcc*";
    QTest::newRow("texts of another type") << "UPDATE qv_file_names_t SET names = 42" << "gcc";
    QTest::newRow("packages without a package row") << "UPDATE qv_pkg_list_t SET id = id + 1000000" << "gcc";
}

// File lists that are damaged or crafted (a BLOB of junk, cut short, of another type) give
// the failed-search box, never a crash or a hang; the window then still searches by
// package name.
void tst_CraftedCatalogue::damagedFileLists()
{
    QFETCH(QString, statement);
    QFETCH(QString, keyword);
    writeGccCatalogue(cataloguePath());
    execOnCatalogue(cataloguePath(), {statement});
    BoxCloser closer;
    MainWindow window;
    QVERIFY(closer.boxes.isEmpty());
    setFileMode(window, true);
    searchFor(window, keyword);
    const QString text = closer.boxes.value(0).text;
    if (statement.contains("qv_pkg_list_t")) {
        // The engine's packages have no package row: nothing to show, as a join would.
        QVERIFY2(closer.boxes.isEmpty(), qPrintable(text));
        QCOMPARE(resultTable(window)->model()->rowCount(), 0);
    } else {
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
        QVERIFY2(text.startsWith(QString::fromUtf8("无法在软件包目录中完成查询：")), qPrintable(text));
        QCOMPARE(resultTable(window)->model()->rowCount(), 0);
    }
    closer.boxes.clear();
    setFileMode(window, false);
    searchFor(window, "vim");
    QVERIFY(closer.boxes.isEmpty());
    QCOMPARE(resultTable(window)->model()->rowCount(), 1);
}

void tst_CraftedCatalogue::notARegularFile_data()
{
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("FIFO") << false;
    QTest::newRow("symbolic link to a FIFO") << true;
}

// Opening a FIFO blocks until someone writes to it; the finder never opens one.
void tst_CraftedCatalogue::notARegularFile()
{
    QFETCH(bool, throughLink);
    const QString fifo = throughLink ? dir->filePath("pipe") : cataloguePath();
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    if (throughLink) {
        QVERIFY(QFile::link(fifo, cataloguePath()));
    }
    FifoReleaser releaser(fifo);

    BoxCloser closer;
    MainWindow window;
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("无法打开数据库"));
    QCOMPARE(closer.boxes.first().text, QString::fromUtf8("无法创建数据库连接！ "));
    QVERIFY2(closer.boxes.first().informativeText.contains(QString::fromUtf8("不是普通文件")),
             qPrintable(closer.boxes.first().informativeText));
    closer.boxes.clear();

    for (bool fileMode : {false, true}) {
        setFileMode(window, fileMode);
        searchFor(window, "gcc");
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
        QVERIFY2(closer.boxes.first().text.contains(QString::fromUtf8("不是普通文件")),
                 qPrintable(closer.boxes.first().text));
        QCOMPARE(resultTable(window)->model()->rowCount(), 0);
        closer.boxes.clear();
    }
}

// A write-ahead-log catalogue is read as it is: rows found, no -shm or -wal file made.
void tst_CraftedCatalogue::walCatalogue()
{
    writeGccCatalogue(cataloguePath());
    {
        QSqlDatabase writer = QSqlDatabase::addDatabase("QSQLITE", writerConnection);
        writer.setDatabaseName(cataloguePath());
        QVERIFY(writer.open());
        QSqlQuery query(writer);
        QVERIFY2(query.exec("PRAGMA journal_mode=WAL"), qPrintable(query.lastError().text()));
        writer.close(); // the last connection checkpoints and removes -wal and -shm
    }
    QCOMPARE(folderEntries(), QStringList{"os_pkg_list.db"});
    QCOMPARE(int(fileBytes(cataloguePath()).at(18)), 2); // the header says WAL
    const QByteArray before = fileBytes(cataloguePath());

    BoxCloser closer;
    MainWindow window;
    QVERIFY(closer.boxes.isEmpty());
    for (bool fileMode : {false, true}) {
        setFileMode(window, fileMode);
        searchFor(window, "gcc");
        QVERIFY(closer.boxes.isEmpty());
        QCOMPARE(tableColumn(resultTable(window), 1), QStringList{"gcc-12.2.0-14.amd64"});
        QCOMPARE(folderEntries(), QStringList{"os_pkg_list.db"});
    }
    QCOMPARE(fileBytes(cataloguePath()), before);
}

// Changes still in the -wal file could only be read through a -shm index that SQLite
// would create: the finder says so instead, and creates nothing.
void tst_CraftedCatalogue::walWithPendingChanges()
{
    writeGccCatalogue(cataloguePath());
    {
        QSqlDatabase writer = QSqlDatabase::addDatabase("QSQLITE", writerConnection);
        writer.setDatabaseName(cataloguePath());
        QVERIFY(writer.open());
        QSqlQuery query(writer);
        for (const char *statement : {"PRAGMA journal_mode=WAL", "PRAGMA wal_autocheckpoint=0",
                                      "INSERT INTO qv_pkg_list_t VALUES (3, 'gcc', '13.1.0', '1', 'amd64')"})
            QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
    }
    QVERIFY(QFileInfo(cataloguePath() + "-wal").size() > 0);
    const QStringList entries = folderEntries();

    BoxCloser closer;
    MainWindow window;
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().informativeText.contains(QString::fromUtf8("预写日志")),
             qPrintable(closer.boxes.first().informativeText));
    closer.boxes.clear();
    searchFor(window, "gcc");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
    QVERIFY2(closer.boxes.first().text.contains("quorvi-catalog"), qPrintable(closer.boxes.first().text));
    QCOMPARE(folderEntries(), entries);
}

// A journal left by a writer that died would have to be rolled back into the catalogue;
// the read-only finder reports it and changes neither file.
void tst_CraftedCatalogue::hotJournal()
{
    const QString source = dir->filePath("writer/os_pkg_list.db");
    QVERIFY(QDir(dir->path()).mkpath("writer"));
    QList<CataloguePackage> packages{{"gcc", "12.2.0", "14", "amd64"}};
    for (int i = 0; i < 3000; ++i)
        packages << CataloguePackage{QString("filler-package-%1").arg(i), "1.0", "1", "amd64"};
    writeCatalogue(source, packages);
    {
        QSqlDatabase writer = QSqlDatabase::addDatabase("QSQLITE", writerConnection);
        writer.setDatabaseName(source);
        QVERIFY(writer.open());
        QSqlQuery query(writer);
        // A small page cache makes SQLite spill changed pages into the catalogue during
        // the transaction, after syncing the journal: the state a crash leaves behind.
        for (const char *statement : {"PRAGMA journal_mode=DELETE", "PRAGMA cache_size=5", "BEGIN EXCLUSIVE",
                                      "UPDATE qv_pkg_list_t SET name = name || '-changed'"})
            QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
        // The writer "dies" here: its files as they are now become the catalogue.
        QVERIFY(QFile::copy(source, cataloguePath()));
        QVERIFY(QFile::copy(source + "-journal", cataloguePath() + "-journal"));
        QVERIFY2(query.exec("ROLLBACK"), qPrintable(query.lastError().text()));
    }
    QVERIFY(fileBytes(cataloguePath() + "-journal").startsWith("\xd9\xd5\x05\xf9")); // synced: hot
    const QByteArray catalogue = fileBytes(cataloguePath());
    const QByteArray journal = fileBytes(cataloguePath() + "-journal");

    BoxCloser closer;
    MainWindow window;
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().informativeText.contains(QString::fromUtf8("日志")),
             qPrintable(closer.boxes.first().informativeText));
    closer.boxes.clear();
    for (bool fileMode : {false, true}) {
        setFileMode(window, fileMode);
        searchFor(window, "gcc");
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
        closer.boxes.clear();
    }
    QCOMPARE(fileBytes(cataloguePath()), catalogue);
    QCOMPARE(fileBytes(cataloguePath() + "-journal"), journal);
}

QTEST_MAIN(tst_CraftedCatalogue)
#include "tst_craftedcatalogue.moc"
