#include "mainwindow.h"
#include "testsupport.h"

#include <QtTest>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <catalogueschema.h>

// The finder against catalogues that are damaged, odd, locked by a writer or replaced
// while it runs: every case ends in a message box or in correct rows, never in a crash
// or a hang, and the catalogue file keeps its bytes.
class tst_DamagedCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void damagedCatalogue_data();
    void damagedCatalogue();
    void directoryInsteadOfCatalogue_data();
    void directoryInsteadOfCatalogue();
    void unreadableCatalogue_data();
    void unreadableCatalogue();
    void lockedByWriter_data();
    void lockedByWriter();
    void replacedWhileRunning_data();
    void replacedWhileRunning();
    void damagedBeyondFirstRows();

private:
    QString cataloguePath() const { return dir->filePath("os_pkg_list.db"); }
    void writeFullCatalogue(const QString &path, int packages, const QString &prefix);
    std::unique_ptr<CatalogueFolder> dir;
};

namespace {

const char lockerConnection[] = "writer-holding-a-lock";

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

void setMode(MainWindow &window, bool fileMode)
{
    clickRadio(window.findChild<QRadioButton *>(fileMode ? "fileNameRadioButton" : "packageNameRadioButton"));
    QVERIFY(window.findChild<QRadioButton *>("fileNameRadioButton")->isChecked() == fileMode);
}

// Random but repeatable bytes, so that a failure can be reproduced.
QByteArray randomBytes(int size)
{
    QByteArray bytes(size, '\0');
    quint32 state = 0x5eed1234u;
    for (int i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = char(state >> 24);
    }
    return bytes;
}

QString boxList(const QList<ShownBox> &boxes)
{
    QStringList shown;
    for (const ShownBox &box : boxes)
        shown << box.title + ": " + box.text;
    return shown.join(" | ");
}

} // namespace

void tst_DamagedCatalogue::init()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
}

void tst_DamagedCatalogue::cleanup()
{
    if (QSqlDatabase::contains(lockerConnection)) {
        QSqlDatabase::database(lockerConnection, false).close();
        QSqlDatabase::removeDatabase(lockerConnection);
    }
    QFile::setPermissions(cataloguePath(), QFile::ReadOwner | QFile::WriteOwner);
    dir.reset();
}

// A catalogue big enough to span many pages: packages "<prefix>NNNN" and one file each.
void tst_DamagedCatalogue::writeFullCatalogue(const QString &path, int packages, const QString &prefix)
{
    QList<CataloguePackage> list;
    QList<CatalogueFile> files;
    for (int i = 1; i <= packages; ++i) {
        const QString name = prefix + QString("%1").arg(i, 4, 10, QChar('0'));
        list << CataloguePackage{name, "1.0." + QString::number(i), "1", "amd64"};
        files << CatalogueFile{i, "/usr/share/doc/" + name + "/copyright"};
    }
    writeCatalogue(path, list);
    writeFileLists(path, files);
}

// Cases that behave alike in both modes run once for package names and once for file names.
static void addBothModes()
{
    QTest::addColumn<bool>("fileMode");
    QTest::newRow("package names") << false;
    QTest::newRow("file names") << true;
}

void tst_DamagedCatalogue::damagedCatalogue_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("fileMode");
    QTest::addColumn<bool>("probeFails");
    QTest::addColumn<QString>("error"); // part of the failed search's box text

    struct Case { const char *kind; bool probeFails; const char *packageError; const char *fileError; };
    const Case cases[] = {
        // SQLite takes an empty file for an empty database: the probe passes, the tables are missing.
        {"empty file", false, "no such table", "不含文件列表"},
        {"random bytes", true, "file is not a database", "file is not a database"},
        {"text file", true, "file is not a database", "file is not a database"},
        {"truncated to half", true, "malformed", "malformed"},
        {"truncated to 100 bytes", true, "malformed", "malformed"},
        {"truncated to 4096 bytes", true, "malformed", "malformed"},
        {"header of zeros", true, "file is not a database", "file is not a database"},
        {"other columns", false, "no such column", "no such column"},
        {"package table missing", false, "no such table", "no such table"},
    };
    for (const Case &c : cases) {
        for (bool fileMode : {false, true}) {
            QTest::addRow("%s, %s", c.kind, fileMode ? "file names" : "package names")
                << QString(c.kind) << fileMode << c.probeFails
                << QString::fromUtf8(fileMode ? c.fileError : c.packageError);
        }
    }
}

void tst_DamagedCatalogue::damagedCatalogue()
{
    QFETCH(QString, kind);
    QFETCH(bool, fileMode);
    QFETCH(bool, probeFails);
    QFETCH(QString, error);

    QByteArray content;
    if (kind == "empty file") {
        content = QByteArray();
    } else if (kind == "random bytes") {
        content = randomBytes(64 * 1024);
    } else if (kind == "text file") {
        content = "Package: gcc\nVersion: 12.2.0-14\nArchitecture: amd64\n";
    } else if (kind.startsWith("truncated")) {
        writeFullCatalogue(cataloguePath(), 3000, "truncated-package-");
        const QByteArray whole = fileBytes(cataloguePath());
        QVERIFY(whole.size() > 100 * 1024);
        const int size = kind.endsWith("half") ? whole.size() / 2 : kind.contains("4096") ? 4096 : 100;
        content = whole.left(size);
        QVERIFY(QFile::remove(cataloguePath()));
    } else if (kind == "header of zeros") {
        writeFullCatalogue(cataloguePath(), 50, "zeroed-");
        content = fileBytes(cataloguePath());
        content.replace(0, 100, QByteArray(100, '\0'));
        QVERIFY(QFile::remove(cataloguePath()));
    } else if (kind == "other columns") {
        writeFullCatalogue(cataloguePath(), 1, "gcc-");
        execOnCatalogue(cataloguePath(), {"DROP TABLE " QV_PKG_TABLE,
                                          "CREATE TABLE " QV_PKG_TABLE " (pkg_id INTEGER PRIMARY KEY, title TEXT)",
                                          "INSERT INTO " QV_PKG_TABLE " VALUES (1, 'gcc')"});
        content = fileBytes(cataloguePath());
    } else if (kind == "package table missing") {
        writeFullCatalogue(cataloguePath(), 5, "gone-");
        execOnCatalogue(cataloguePath(), {"DROP TABLE " QV_PKG_TABLE});
        content = fileBytes(cataloguePath());
    } else {
        QFAIL(qPrintable("unknown case " + kind));
    }
    if (!QFile::exists(cataloguePath())) {
        QFile file(cataloguePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(content.size()));
    }
    QCOMPARE(fileBytes(cataloguePath()), content);
    const QByteArray before = sha256(content);

    BoxCloser closer;
    MainWindow window;
    if (probeFails) {
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes.first().title, QString::fromUtf8("无法打开数据库"));
        QCOMPARE(closer.boxes.first().icon, QMessageBox::Critical);
    } else {
        QVERIFY2(closer.boxes.isEmpty(), qPrintable(boxList(closer.boxes)));
    }
    QAbstractItemModel *headerModel = resultTable(window)->model();
    setMode(window, fileMode);
    closer.boxes.clear();

    // A star scans every name, so every page of the package table is read.
    searchFor(window, "*");
    QCOMPARE(closer.boxes.size(), 1);
    const ShownBox box = closer.boxes.first();
    qInfo().noquote() << kind << (fileMode ? "(file names):" : "(package names):") << box.title << box.text;
    QCOMPARE(box.title, QString::fromUtf8("查询失败"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY(box.text.at(0).unicode() >= 0x4e00);
    QVERIFY2(box.text.contains(error), qPrintable(box.text));
    QCOMPARE(resultTable(window)->model(), headerModel);
    QCOMPARE(headerModel->rowCount(), 0);
    QCOMPARE(headerModel->columnCount(), 2);
    QVERIFY(!QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen());

    // A second search fails the same way: nothing was left half-open by the first.
    closer.boxes.clear();
    searchFor(window, "truncated-package-0001");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));

    QCOMPARE(sha256(fileBytes(cataloguePath())), before);
    QCOMPARE(QFileInfo(cataloguePath()).size(), qint64(content.size()));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{"os_pkg_list.db"});
}

void tst_DamagedCatalogue::directoryInsteadOfCatalogue_data()
{
    addBothModes();
}

void tst_DamagedCatalogue::directoryInsteadOfCatalogue()
{
    QFETCH(bool, fileMode);
    QVERIFY(QDir(dir->path()).mkdir("os_pkg_list.db"));

    BoxCloser closer;
    MainWindow window;
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("无法打开数据库"));
    setMode(window, fileMode);
    closer.boxes.clear();

    searchFor(window, "gcc");
    QCOMPARE(closer.boxes.size(), 1);
    qInfo().noquote() << "directory:" << closer.boxes.first().text;
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
    // SQLite names a directory a disk I/O error; Qt adds that opening failed.
    QVERIFY2(closer.boxes.first().text.contains("Error opening database"), qPrintable(closer.boxes.first().text));
    QCOMPARE(resultTable(window)->model()->rowCount(), 0);

    const QFileInfo info(cataloguePath());
    QVERIFY(info.isDir());
    QVERIFY(QDir(cataloguePath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
                .isEmpty());
    // No journal or other file appeared beside it either.
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
             QStringList{"os_pkg_list.db"});
}

void tst_DamagedCatalogue::unreadableCatalogue_data()
{
    addBothModes();
}

// Permissions do not stop root. Run as root, the case runs again in a child process as the
// unprivileged user "nobody" (through setpriv) when that is possible.
void tst_DamagedCatalogue::unreadableCatalogue()
{
    QFETCH(bool, fileMode);
    if (geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty()) {
            QSKIP("running as root, which ignores file permissions, and setpriv is not installed");
        }
        const QString self = QCoreApplication::applicationFilePath();
        QProcess child;
        child.setWorkingDirectory(QDir::tempPath());
        child.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", QDir::tempPath());
        env.remove("XDG_RUNTIME_DIR");
        child.setProcessEnvironment(env);
        const QString row = QTest::currentDataTag();
        child.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", "--", self,
                              "unreadableCatalogue:" + row});
        QVERIFY(child.waitForFinished(60000));
        const QString output = QString::fromUtf8(child.readAll());
        if (output.contains("FAIL!")) {
            QFAIL(qPrintable("as user nobody:\n" + output));
        }
        if (child.exitCode() != 0 || !output.contains("PASS   : tst_DamagedCatalogue::unreadableCatalogue(")) {
            QSKIP(qPrintable("running as root, which ignores file permissions; running as nobody failed:\n"
                             + output));
        }
        QVERIFY(!output.contains("SKIP"));
        qInfo().noquote() << "ran as nobody:" << output.split(QLatin1Char('\n')).filter("unreadable:").join(" / ");
        return;
    }

    writeCatalogue(cataloguePath(), {{"gcc", "12.2.0", "14", "amd64"}});
    writeFileLists(cataloguePath(), {{1, "/usr/bin/gcc"}});
    const QByteArray before = sha256(fileBytes(cataloguePath()));
    QVERIFY(::chmod(QFile::encodeName(cataloguePath()).constData(), 0) == 0);
    QVERIFY(fileBytes(cataloguePath()).isEmpty()); // really unreadable for this user

    BoxCloser closer;
    MainWindow window;
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("无法打开数据库"));
    setMode(window, fileMode);
    closer.boxes.clear();
    searchFor(window, "gcc");
    QCOMPARE(closer.boxes.size(), 1);
    qInfo().noquote() << "unreadable:" << closer.boxes.first().text;
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
    QVERIFY2(closer.boxes.first().text.contains("unable to open", Qt::CaseInsensitive),
             qPrintable(closer.boxes.first().text));
    QCOMPARE(resultTable(window)->model()->rowCount(), 0);

    QCOMPARE(QFileInfo(cataloguePath()).permissions() & 0x7777, QFile::Permissions());
    QVERIFY(::chmod(QFile::encodeName(cataloguePath()).constData(), 0600) == 0);
    QCOMPARE(sha256(fileBytes(cataloguePath())), before);
}

void tst_DamagedCatalogue::lockedByWriter_data()
{
    QTest::addColumn<bool>("fileMode");
    QTest::addColumn<QStringList>("writer"); // run after BEGIN EXCLUSIVE
    QTest::addColumn<QString>("end");
    QTest::addColumn<QStringList>("after"); // column 1 of the next search

    const QStringList gcc{"gcc-12.2.0-14.amd64"};
    const QStringList both{"gcc-12.2.0-14.amd64", "gcc-13.1.0-1.amd64"};
    // The writer adds gcc 13.1.0 with its /usr/bin/gcc: its package row, and file lists
    // taken from a catalogue that has all three packages (attached as "next").
    QStringList insert{"INSERT INTO " QV_PKG_TABLE " VALUES (3, 'gcc', '13.1.0', '1', 'amd64')"};
    for (const char *table : {QV_NAME_BLOCK_TABLE, QV_DIR_BLOCK_TABLE, QV_PKG_FILES_TABLE, QV_TRIGRAM_TABLE})
        insert << QString("DELETE FROM %1").arg(table) << QString("INSERT INTO %1 SELECT * FROM next.%1").arg(table);
    for (bool fileMode : {false, true}) {
        const char *mode = fileMode ? "file names" : "package names";
        QTest::addRow("idle lock, rollback, %s", mode) << fileMode << QStringList() << "ROLLBACK" << gcc;
        QTest::addRow("rows written, rollback, %s", mode) << fileMode << insert << "ROLLBACK" << gcc;
        QTest::addRow("rows written, commit, %s", mode) << fileMode << insert << "COMMIT" << both;
    }
}

void tst_DamagedCatalogue::lockedByWriter()
{
    QFETCH(bool, fileMode);
    QFETCH(QStringList, writer);
    QFETCH(QString, end);
    QFETCH(QStringList, after);

    writeCatalogue(cataloguePath(), {{"gcc", "12.2.0", "14", "amd64"}, {"vim", "9.0.1378", "2", "amd64"}});
    writeFileLists(cataloguePath(), {{1, "/usr/bin/gcc"}, {2, "/usr/bin/vim"}});
    const QByteArray before = sha256(fileBytes(cataloguePath()));
    const QString next = dir->filePath("next.db");
    writeCatalogue(next, {{"gcc", "12.2.0", "14", "amd64"}, {"vim", "9.0.1378", "2", "amd64"},
                          {"gcc", "13.1.0", "1", "amd64"}});
    writeFileLists(next, {{1, "/usr/bin/gcc"}, {2, "/usr/bin/vim"}, {3, "/usr/bin/gcc"}});

    BoxCloser closer;
    MainWindow window;
    QVERIFY(closer.boxes.isEmpty());
    setMode(window, fileMode);
    QAbstractItemModel *headerModel = resultTable(window)->model();

    {
        QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", lockerConnection);
        locker.setDatabaseName(cataloguePath());
        QVERIFY(locker.open());
        QSqlQuery query(locker);
        QVERIFY2(query.exec("ATTACH '" + next + "' AS next"), qPrintable(query.lastError().text()));
        QVERIFY2(query.exec("BEGIN EXCLUSIVE"), qPrintable(query.lastError().text()));
        for (const QString &statement : writer)
            QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
    }

    QElapsedTimer clock;
    clock.start();
    searchFor(window, "gcc");
    const qint64 waited = clock.elapsed();
    qInfo() << "locked search took" << waited << "ms";
    QVERIFY2(waited >= 1000, "the search did not wait for the lock at all");
    QCOMPARE(closer.boxes.size(), 1);
    qInfo().noquote() << "locked:" << closer.boxes.first().text;
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
    QVERIFY2(closer.boxes.first().text.contains(QString::fromUtf8("正被其他程序占用")),
             qPrintable(closer.boxes.first().text));
    QCOMPARE(resultTable(window)->model(), headerModel);
    QCOMPARE(headerModel->rowCount(), 0);

    {
        QSqlQuery query(QSqlDatabase::database(lockerConnection, false));
        QVERIFY2(query.exec(end), qPrintable(query.lastError().text()));
    }
    QSqlDatabase::database(lockerConnection, false).close();
    QSqlDatabase::removeDatabase(lockerConnection);

    closer.boxes.clear();
    searchFor(window, "gcc");
    QVERIFY2(closer.boxes.isEmpty(), qPrintable(boxList(closer.boxes)));
    QCOMPARE(tableColumn(resultTable(window), 1), after);
    if (fileMode) {
        QCOMPARE(tableColumn(resultTable(window), 2), QVector<QString>(after.size(), "/usr/bin/gcc").toList());
    }
    if (end == "ROLLBACK") {
        QCOMPARE(sha256(fileBytes(cataloguePath())), before);
    }
}

void tst_DamagedCatalogue::replacedWhileRunning_data()
{
    addBothModes();
}

// The builder writes a new catalogue beside the old one and renames it over the old name.
void tst_DamagedCatalogue::replacedWhileRunning()
{
    QFETCH(bool, fileMode);
    writeFullCatalogue(cataloguePath(), 40, "old-");

    BoxCloser closer;
    MainWindow window;
    setMode(window, fileMode);
    // By file name, the path of the one file of package 7 (a "*" in a file-name keyword is any run).
    const QString seventh = fileMode ? "/usr/share/doc/*-0007/copyright" : "*-0007";
    searchFor(window, seventh);
    QCOMPARE(tableColumn(resultTable(window), 1), QStringList{"old-0007-1.0.7-1.amd64"});

    const QString fresh = dir->filePath("os_pkg_list.db.tmp-new");
    writeFullCatalogue(fresh, 60, "new-");
    const QByteArray freshBytes = fileBytes(fresh);
    QVERIFY(::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(cataloguePath()).constData()) == 0);

    searchFor(window, seventh);
    QVERIFY2(closer.boxes.isEmpty(), qPrintable(boxList(closer.boxes)));
    QCOMPARE(tableColumn(resultTable(window), 1), QStringList{"new-0007-1.0.7-1.amd64"});
    if (fileMode) {
        QCOMPARE(tableColumn(resultTable(window), 2), QStringList{"/usr/share/doc/new-0007/copyright"});
    }
    searchFor(window, "new-005*");
    QCOMPARE(resultTable(window)->model()->rowCount(), fileMode ? 0 : 10);
    searchFor(window, fileMode ? "copyright" : "*");
    QCOMPARE(resultTable(window)->model()->rowCount(), 60);
    QVERIFY(closer.boxes.isEmpty());
    QCOMPARE(fileBytes(cataloguePath()), freshBytes);
}

// A catalogue whose damage lies past the first rows: the search reads every row, so it
// meets the damage and reports it rather than showing the rows before it as all there are.
void tst_DamagedCatalogue::damagedBeyondFirstRows()
{
    QList<CataloguePackage> packages;
    for (int i = 0; i < 20000; ++i)
        packages << CataloguePackage{QString("pkg-%1").arg(i), "1.0", "1", "amd64"};
    // The rows fill about the first half of the file, the name index and the packages'
    // details the rest.
    writeCatalogue(cataloguePath(), packages);
    QFile file(cataloguePath());
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(file.size() / 4));
    file.write(QByteArray(8192, '\xff'));
    file.close();

    BoxCloser closer;
    MainWindow window;
    QVERIFY(closer.boxes.isEmpty()); // the schema at the start of the file is intact
    searchFor(window, "*");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
    QVERIFY2(closer.boxes.first().text.contains("malformed"), qPrintable(closer.boxes.first().text));
    QCOMPARE(resultTable(window)->model()->rowCount(), 0);
}

QTEST_MAIN(tst_DamagedCatalogue)
#include "tst_damagedcatalogue.moc"
