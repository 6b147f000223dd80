#include "catalogueschema.h"
#include "mainwindow.h"
#include "searchworker.h"
#include "testsupport.h"

#include <QtTest>
#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>

#include <sqlite3.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>

// A search runs while the window lives: it repaints and takes input, Esc or a new search
// stops it, the status bar tells what a search found, and no search reads rows past a
// memory bound. The slow search is one that waits for a writer's lock, or one that SQLite
// works on while a gate in the process's SQLite library holds it: it cannot end before
// the test lets it, whatever the machine's load.
class tst_SearchControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void escStopsRunningSearch_data();
    void escStopsRunningSearch();
    void newSearchReplacesRunningOne();
    void packageNameButtonStopsRunningSearch();
    void statusBarCountsPackages_data();
    void statusBarCountsPackages();
    void statusBarAfterFailure();
    void oversizedCellGivesBox_data();
    void oversizedCellGivesBox();
    void stopWhileSqliteWorks_data();
    void stopWhileSqliteWorks();
    void copyStopsWhilePathsAreWorkedOut_data();
    void copyStopsWhilePathsAreWorkedOut();
    void newestSearchAndCopyWin();
    void closeDuringSearch();

private:
    void writeGccAndVim();
    void writeTools(int count);
    void lockCatalogue();
    void unlockCatalogue();
    QString cataloguePath() const { return dir->filePath("os_pkg_list.db"); }
    std::unique_ptr<CatalogueFolder> dir;
};

namespace {

const char lockerConnection[] = "writer-holding-a-lock";

void setFileMode(MainWindow &window, bool fileMode)
{
    clickRadio(window.findChild<QRadioButton *>(fileMode ? "fileNameRadioButton" : "packageNameRadioButton"));
    QCOMPARE(window.findChild<QRadioButton *>("fileNameRadioButton")->isChecked(), fileMode);
}

// The window waits a minute for a locked catalogue instead of two seconds: a search held
// by the test's lock then ends only when the test stops it or lets it go.
void waitLongForLocks()
{
    QSqlDatabase db = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
    QString options = db.connectOptions();
    options.remove(QRegularExpression("QSQLITE_BUSY_TIMEOUT=\\d+;?"));
    db.setConnectOptions(options + (options.isEmpty() || options.endsWith(';') ? "" : ";")
                         + "QSQLITE_BUSY_TIMEOUT=60000");
}

QString statusText(MainWindow &window)
{
    return window.findChild<QStatusBar *>("statusbar")->currentMessage();
}

// Calls the action on every tick of a 1 ms timer in the window's thread while a search
// runs (the status bar says so), and counts those ticks.
class SearchTicker : public QObject
{
public:
    SearchTicker(MainWindow &window, std::function<void(int)> action)
    {
        connect(&timer, &QTimer::timeout, this, [this, &window, action] {
            if (statusText(window) != QString::fromUtf8("正在搜索……")) {
                return;
            }
            action(++ticks);
        });
        timer.start(1);
    }
    int ticks = 0;

private:
    QTimer timer;
};

// A gate that SQLite itself opens and closes: an automatic extension of the process's
// SQLite library (which the QSQLITE driver shares) gives each connection opened while the
// gate is armed a LIKE of its own and a trace of its statements. The LIKE counts
// the rows it examines for the gated pattern and matches none of them, so that SQLite
// works through the whole table; other patterns match as SQLite's LIKE does. The search
// thread is held once, where the test asks: on the first row it examines, at the end of
// the first statement it finishes (a stop then lands between two statements), or when it
// starts reading a package's file list.
class SqliteGate
{
public:
    enum Hold { Nowhere, FirstRow, BetweenStatements, PackageFiles };
    static constexpr const char *pattern = "pkg%"; // the stopped search's keyword, "pkg*"

    void arm(Hold where)
    {
        std::lock_guard<std::mutex> lock(mutex);
        hold = where;
        held = released = false;
        rows = 0;
        armed = true;
    }
    void disarm() { armed = false; }
    bool isHeld()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return held && !released;
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        cv.notify_all();
    }
    // Rows of the gated pattern examined after the release.
    int rowsAfterRelease() const { return rows.load(); }

    static int install(sqlite3 *db, const char **, const sqlite3_api_routines *)
    {
        if (!instance().armed) {
            return SQLITE_OK;
        }
        for (int args : {2, 3})
            sqlite3_create_function(db, "like", args, SQLITE_UTF8, nullptr, like, nullptr, nullptr);
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT | SQLITE_TRACE_PROFILE, traced, nullptr);
        return SQLITE_OK;
    }
    static SqliteGate &instance()
    {
        static SqliteGate gate;
        return gate;
    }

private:
    // Holds the calling (search) thread until the test releases it, once per arming;
    // true when it held.
    bool holdHere(Hold where)
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (hold != where || held) {
            return false;
        }
        held = true;
        // A safety net only: the test releases the gate as soon as it has pressed Esc.
        cv.wait_for(lock, std::chrono::seconds(60), [this] { return released; });
        return true;
    }
    static void like(sqlite3_context *context, int argc, sqlite3_value **argv)
    {
        const char *pattern = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
        const char *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
        const char *escape = argc == 3 ? reinterpret_cast<const char *>(sqlite3_value_text(argv[2])) : nullptr;
        if (!pattern || !text) {
            sqlite3_result_null(context);
            return;
        }
        SqliteGate &gate = instance();
        if (std::strcmp(pattern, SqliteGate::pattern) != 0) {
            sqlite3_result_int(context, sqlite3_strlike(pattern, text, escape ? unsigned(escape[0]) : 0) == 0);
            return;
        }
        if (!gate.holdHere(FirstRow)) {
            std::lock_guard<std::mutex> lock(gate.mutex);
            if (gate.released) {
                ++gate.rows;
            }
        }
        sqlite3_result_int(context, 0);
    }
    static int traced(unsigned type, void *, void *, void *text)
    {
        if (type == SQLITE_TRACE_PROFILE) {
            instance().holdHere(BetweenStatements);
        } else if (std::strstr(static_cast<const char *>(text), QV_PKG_FILES_TABLE)) {
            instance().holdHere(PackageFiles);
        }
        return 0;
    }

    std::atomic<bool> armed{false};
    std::mutex mutex;
    std::condition_variable cv;
    Hold hold = FirstRow;
    bool held = false;
    bool released = false;
    std::atomic<int> rows{0};
};

} // namespace

void tst_SearchControl::initTestCase()
{
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&SqliteGate::install));
}

void tst_SearchControl::init()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
    writeGccAndVim();
}

void tst_SearchControl::cleanup()
{
    if (QSqlDatabase::contains(lockerConnection)) {
        QSqlDatabase::database(lockerConnection, false).close();
        QSqlDatabase::removeDatabase(lockerConnection);
    }
    dir.reset();
}

void tst_SearchControl::writeGccAndVim()
{
    writeCatalogue(cataloguePath(), {{"gcc", "12.2.0", "14", "amd64"}, {"vim", "9.0.1378", "2", "amd64"}});
    writeFileLists(cataloguePath(), {{1, "/usr/bin/gcc"}, {2, "/usr/bin/vim"}});
}

// Packages pkg-1 ... pkg-<count>, each with one file /usr/bin/tool-<id>.
void tst_SearchControl::writeTools(int count)
{
    QList<CataloguePackage> packages;
    QList<CatalogueFile> files;
    for (int id = 1; id <= count; ++id) {
        packages << CataloguePackage{QString("pkg-%1").arg(id), "1", "0", "all"};
        files << CatalogueFile{id, QString("/usr/bin/tool-%1").arg(id)};
    }
    writeCatalogue(cataloguePath(), packages);
    writeFileLists(cataloguePath(), files);
}

void tst_SearchControl::lockCatalogue()
{
    QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", lockerConnection);
    locker.setDatabaseName(cataloguePath());
    QVERIFY(locker.open());
    QSqlQuery query(locker);
    QVERIFY2(query.exec("BEGIN EXCLUSIVE"), qPrintable(query.lastError().text()));
}

void tst_SearchControl::unlockCatalogue()
{
    QSqlQuery query(QSqlDatabase::database(lockerConnection, false));
    QVERIFY2(query.exec("ROLLBACK"), qPrintable(query.lastError().text()));
}

void tst_SearchControl::escStopsRunningSearch_data()
{
    QTest::addColumn<bool>("fileMode");
    QTest::addColumn<QString>("focus"); // the widget that has the key focus when Esc comes
    for (bool fileMode : {false, true}) {
        for (const char *focus : {"keyworkLineEdit", "tableView"})
            QTest::addRow("%s, %s", fileMode ? "file names" : "package names", focus) << fileMode << focus;
    }
}

void tst_SearchControl::escStopsRunningSearch()
{
    QFETCH(bool, fileMode);
    QFETCH(QString, focus);
    MainWindow window;
    window.show();
    setFileMode(window, fileMode);
    searchFor(window, "gcc");
    QCOMPARE(resultTable(window)->model()->rowCount(), 1);
    QAbstractItemModel *headerModel = nullptr;
    clickRadio(window.findChild<QRadioButton *>("packageNameRadioButton"));
    headerModel = resultTable(window)->model();
    setFileMode(window, fileMode);
    waitLongForLocks();
    lockCatalogue();

    MessageLog log;
    BoxCloser closer;
    auto *target = window.findChild<QWidget *>(focus);
    QVERIFY(target);
    // The timer ticks while the search waits for the lock; on its third tick, Esc.
    SearchTicker ticker(window, [target](int tick) {
        if (tick == 3) {
            QTest::keyClick(target, Qt::Key_Escape);
        }
    });
    searchFor(window, "vim");
    QCOMPARE(ticker.ticks, 3);
    QVERIFY2(closer.boxes.isEmpty(), qPrintable(closer.boxes.value(0).text));
    QCOMPARE(resultTable(window)->model(), headerModel);
    QCOMPARE(headerModel->rowCount(), 0);
    QCOMPARE(headerModel->columnCount(), 2);
    QCOMPARE(statusText(window), QString::fromUtf8("搜索已停止"));
    QCOMPARE(log.lines().value(0), QString("pkg ............. \"vim\" , 0"));
    QVERIFY(log.lines().size() <= 2); // the statement, if the search got as far

    // Esc with no search running changes nothing.
    QTest::keyClick(target, Qt::Key_Escape);
    QCOMPARE(statusText(window), QString::fromUtf8("搜索已停止"));

    // The stopped search left nothing behind: once the writer is gone, searches work.
    unlockCatalogue();
    searchFor(window, "vim");
    QCOMPARE(tableColumn(resultTable(window), 1), QStringList{"vim-9.0.1378-2.amd64"});
}

// Return (or the button) during a search stops it and runs the new one; the first click's
// handler returns after that, and leaves the new search's rows in place.
void tst_SearchControl::newSearchReplacesRunningOne()
{
    MainWindow window;
    window.show();
    waitLongForLocks();
    lockCatalogue();
    MessageLog log;
    BoxCloser closer;
    auto *edit = window.findChild<QLineEdit *>("keyworkLineEdit");
    SearchTicker ticker(window, [this, edit](int tick) {
        if (tick != 2) {
            return;
        }
        unlockCatalogue();
        edit->setText("vim");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    searchFor(window, "gcc");
    QVERIFY(ticker.ticks >= 2);
    QVERIFY(closer.boxes.isEmpty());
    QCOMPARE(tableColumn(resultTable(window), 1), QStringList{"vim-9.0.1378-2.amd64"});
    QVERIFY2(statusText(window).startsWith(QString::fromUtf8("找到 1 个软件包")), qPrintable(statusText(window)));
    const QStringList lines = log.lines();
    QCOMPARE(lines.first(), QString("pkg ............. \"gcc\" , 0"));
    QCOMPARE(lines.at(lines.size() - 2), QString("pkg ............. \"vim\" , 0"));
    QVERIFY(lines.last().endsWith("LIKE 'vim'\""));
    QCOMPARE(log.linesStartingWith("pkg ").size(), 2);
}

void tst_SearchControl::packageNameButtonStopsRunningSearch()
{
    MainWindow window;
    window.show();
    setFileMode(window, true);
    waitLongForLocks();
    lockCatalogue();
    BoxCloser closer;
    SearchTicker ticker(window, [&window](int tick) {
        if (tick == 1) {
            clickRadio(window.findChild<QRadioButton *>("packageNameRadioButton"));
        }
    });
    searchFor(window, "gcc");
    QCOMPARE(ticker.ticks, 1);
    QVERIFY(closer.boxes.isEmpty());
    QCOMPARE(resultTable(window)->model()->rowCount(), 0);
    QCOMPARE(resultTable(window)->model()->columnCount(), 2);
    QCOMPARE(statusText(window), QString::fromUtf8("搜索已停止"));
    unlockCatalogue();
}

void tst_SearchControl::statusBarCountsPackages_data()
{
    QTest::addColumn<int>("packages");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("count");
    QTest::newRow("none") << 3 << "no-such-package" << "0";
    QTest::newRow("one") << 3 << "pkg0001" << "1";
    QTest::newRow("grouped thousands") << 1211 << "pkg*" << "1,211";
}

void tst_SearchControl::statusBarCountsPackages()
{
    QFETCH(int, packages);
    QFETCH(QString, keyword);
    QFETCH(QString, count);
    QList<CataloguePackage> list;
    for (int i = 1; i <= packages; ++i)
        list << CataloguePackage{QString("pkg%1").arg(i, 4, 10, QChar('0')), "1.0", "1", "amd64"};
    QVERIFY(QFile::remove(cataloguePath()));
    writeCatalogue(cataloguePath(), list);

    MainWindow window;
    QStringList whileRunning;
    SearchTicker ticker(window, [&window, &whileRunning](int) { whileRunning << statusText(window); });
    searchFor(window, keyword);
    QCOMPARE(resultTable(window)->model()->rowCount(), QString(count).remove(',').toInt());
    const QRegularExpression done(QString::fromUtf8("^找到 ([0-9,]+) 个软件包，用时 [0-9,]+ 毫秒$"));
    const QRegularExpressionMatch match = done.match(statusText(window));
    QVERIFY2(match.hasMatch(), qPrintable(statusText(window)));
    QCOMPARE(match.captured(1), count);
    // Whenever the timer saw the search running, the status bar said so.
    for (const QString &text : whileRunning)
        QCOMPARE(text, QString::fromUtf8("正在搜索……"));
}

void tst_SearchControl::statusBarAfterFailure()
{
    execOnCatalogue(cataloguePath(), {"DROP TABLE qv_pkg_list_t"});
    MainWindow window;
    BoxCloser closer;
    searchFor(window, "gcc");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(statusText(window), QString::fromUtf8("搜索失败"));
}

// A cell over 1 MiB stops the search with a box instead of reading on; the window stays
// usable and the next search finds its rows.
void tst_SearchControl::oversizedCellGivesBox_data()
{
    QTest::addColumn<bool>("fileMode");
    QTest::addColumn<QString>("keyword");
    QTest::newRow("package name of 2 MiB") << false << "*";
    QTest::newRow("package name of 2 MiB, by file name") << true << "*";
    QTest::newRow("file name of 2 MiB") << true << "x*";
}

void tst_SearchControl::oversizedCellGivesBox()
{
    QFETCH(bool, fileMode);
    QFETCH(QString, keyword);
    const QString huge(2 * 1024 * 1024, QChar('x'));
    const bool hugeName = keyword == "*";
    writeCatalogue(cataloguePath(), {{"gcc", "12.2.0", "14", "amd64"},
                                     {"vim", "9.0.1378", "2", "amd64"},
                                     {hugeName ? huge : "big", "1", "1", "all"}});
    writeFileLists(cataloguePath(), {{1, "/usr/bin/gcc"}, {2, "/usr/bin/vim"}, {3, "/usr/share/" + huge.left(hugeName ? 1 : huge.size())}});
    MainWindow window;
    window.show();
    setFileMode(window, fileMode);
    QAbstractItemModel *before = resultTable(window)->model();
    BoxCloser closer;
    searchFor(window, keyword);
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
    QVERIFY2(closer.boxes.first().text.contains("1 MiB"), qPrintable(closer.boxes.first().text));
    QCOMPARE(resultTable(window)->model(), before);
    QCOMPARE(resultTable(window)->model()->rowCount(), 0);
    QCOMPARE(statusText(window), QString::fromUtf8("搜索失败"));

    closer.boxes.clear();
    searchFor(window, "vim");
    QVERIFY(closer.boxes.isEmpty());
    QCOMPARE(tableColumn(resultTable(window), 1), QStringList{"vim-9.0.1378-2.amd64"});
}

void tst_SearchControl::stopWhileSqliteWorks_data()
{
    QTest::addColumn<int>("hold");
    // sqlite3_interrupt ends the running statement at its next step; the progress handler
    // alone would let it examine rows up to its next call.
    QTest::newRow("Esc while a statement runs") << int(SqliteGate::FirstRow);
    // An interrupt between two statements reaches none: only the progress handler stops
    // the statement that starts after it.
    QTest::newRow("Esc between two statements") << int(SqliteGate::BetweenStatements);
}

// Esc stops a search that SQLite is working on, at once: the statement examines no row
// (or, started after the stop, only the few before SQLite next asks whether to go on) of
// a table it would otherwise scan to its end.
void tst_SearchControl::stopWhileSqliteWorks()
{
    QFETCH(int, hold);
    const int packages = 20000;
    QList<CataloguePackage> list;
    for (int i = 1; i <= packages; ++i)
        list << CataloguePackage{QString("pkg%1").arg(i, 5, 10, QChar('0')), "1.0", "1", "amd64"};
    writeCatalogue(cataloguePath(), list);

    MainWindow window;
    window.show();
    SqliteGate &gate = SqliteGate::instance();
    // Armed after the window's own look at the catalogue: the search thread's connection
    // is the one made now.
    gate.arm(SqliteGate::Hold(hold));
    bool pressed = false;
    SearchTicker ticker(window, [&](int) {
        if (pressed || !gate.isHeld()) {
            return;
        }
        pressed = true;
        QTest::keyClick(window.findChild<QWidget *>("keyworkLineEdit"), Qt::Key_Escape);
        gate.release();
    });
    searchFor(window, "pkg*");
    gate.disarm();
    QVERIFY(pressed);
    QCOMPARE(statusText(window), QString::fromUtf8("搜索已停止"));
    QCOMPARE(resultTable(window)->model()->rowCount(), 0);

    // The next search runs after the stopped one has ended on the search thread.
    searchFor(window, "pkg0000*");
    QCOMPARE(resultTable(window)->model()->rowCount(), 9);
    const int examined = gate.rowsAfterRelease();
    qInfo() << "rows examined after the stop:" << examined;
    if (hold == SqliteGate::FirstRow) {
        QCOMPARE(examined, 0);
    } else {
        QVERIFY2(examined < packages / 10, qPrintable(QString::number(examined)));
    }
}

void tst_SearchControl::copyStopsWhilePathsAreWorkedOut_data()
{
    QTest::addColumn<bool>("onTheBox");
    QTest::newRow("Esc before the progress box shows") << false;
    QTest::newRow("取消 on the progress box") << true;
}

// A copy of rows whose paths are not known yet has the search thread work them out; while
// it does, Esc or the progress box's 取消 stops the copy, which then copies nothing, and
// leaves the window and its search thread ready: the next copy carries every path.
void tst_SearchControl::copyStopsWhilePathsAreWorkedOut()
{
    QFETCH(bool, onTheBox);
    const int count = SearchWorker::eagerPathRows + 36;
    writeTools(count);

    MainWindow window;
    window.show();
    SqliteGate &gate = SqliteGate::instance();
    gate.arm(SqliteGate::Nowhere); // the search thread's connection gets the gate
    setFileMode(window, true);
    searchFor(window, "tool-*");
    QTableView *table = resultTable(window);
    gate.arm(SqliteGate::PackageFiles); // held once the copy asks for the later rows' paths
    gate.disarm();

    QGuiApplication::clipboard()->setText("before the copy");
    table->selectAll();
    bool stopped = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (stopped || !gate.isHeld()) {
            return;
        }
        auto *box = window.findChild<QProgressDialog *>();
        if (onTheBox && !(box && box->isVisible())) {
            return; // the box shows once the copy has taken a moment
        }
        if (onTheBox) {
            QTest::mouseClick(box->findChild<QPushButton *>(), Qt::LeftButton);
        } else {
            QTest::keyClick(table, Qt::Key_Escape);
        }
        stopped = true;
        gate.release();
    });
    poll.start(1);
    window.findChild<QAction *>("copyAction")->trigger();
    waitForWindow(window);
    poll.stop();
    QVERIFY(stopped);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("before the copy"));

    window.findChild<QAction *>("copyAction")->trigger();
    waitForWindow(window);
    const QStringList copied = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(copied.size(), count);
    QCOMPARE(copied.last(), QString("%1\tpkg-%1-1-0.all\t/usr/bin/tool-%1").arg(count));
}

// Neither a search nor a copy waits in its handler: searches typed while one is held by a
// writer's lock each return at once, and only the newest one's rows and statement show;
// a second copy before the first has its paths replaces it, and the clipboard gets the
// second one's rows alone (the first one's answers come first and count for nothing).
void tst_SearchControl::newestSearchAndCopyWin()
{
    const int count = SearchWorker::eagerPathRows + 36;
    writeTools(count);
    MainWindow window;
    window.show();
    setFileMode(window, true);
    searchFor(window, "tool-*");
    QTableView *table = resultTable(window);
    QGuiApplication::clipboard()->setText("before the copies");
    table->selectAll();
    window.findChild<QAction *>("copyAction")->trigger();
    QVERIFY(window.isBusy()); // the later rows' paths are still being worked out
    table->clearSelection();
    table->selectRow(count - 1);
    window.findChild<QAction *>("copyAction")->trigger();
    waitForWindow(window);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("%1\tpkg-%1-1-0.all\t/usr/bin/tool-%1\n").arg(count));

    setFileMode(window, false);
    waitLongForLocks();
    lockCatalogue();
    MessageLog log;
    BoxCloser closer;
    auto *edit = window.findChild<QLineEdit *>("keyworkLineEdit");
    const QStringList keywords{"gcc", "pkg-1*", "*", "pkg-2*", "pkg-7"};
    for (const QString &keyword : keywords) {
        edit->setText(keyword);
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(window.isBusy());
        QCOMPARE(statusText(window), QString::fromUtf8("正在搜索……"));
    }
    unlockCatalogue();
    waitForWindow(window);
    QVERIFY(closer.boxes.isEmpty());
    QCOMPARE(tableColumn(table, 1), QStringList{"pkg-7-1-0.all"});
    QCOMPARE(log.linesStartingWith("pkg ").size(), keywords.size());
    const QStringList statements = log.linesStartingWith("\"SELECT");
    QCOMPARE(statements.size(), 1);
    QVERIFY2(statements.first().endsWith("LIKE 'pkg-7'\""), qPrintable(statements.first()));
}

// Closing the window stops its search at once; the search thread's late answer reaches
// no one, and the window goes without waiting for anything but that thread.
void tst_SearchControl::closeDuringSearch()
{
    auto window = std::make_unique<MainWindow>();
    window->show();
    waitLongForLocks();
    lockCatalogue();
    MessageLog log;
    BoxCloser closer;
    window->findChild<QLineEdit *>("keyworkLineEdit")->setText("vim");
    QTest::mouseClick(window->findChild<QPushButton *>("searchPushButton"), Qt::LeftButton);
    QVERIFY(window->isBusy());
    QVERIFY(window->close());
    QVERIFY(!window->isBusy());
    QCOMPARE(statusText(*window), QString::fromUtf8("搜索已停止"));
    QCOMPARE(resultTable(*window)->model()->rowCount(), 0);
    unlockCatalogue();
    window.reset();
    QVERIFY(closer.boxes.isEmpty());
    QCOMPARE(log.lines(), QStringList{"pkg ............. \"vim\" , 0"});
}

QTEST_MAIN(tst_SearchControl)
#include "tst_searchcontrol.moc"
