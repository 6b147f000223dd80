#include "mainwindow.h"
#include "testsupport.h"

#include <QtTest>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>

#include <functional>

// A search runs while the window lives: it repaints and takes input, Esc or a new search
// stops it, the status bar tells what a search found, and no search reads rows past a
// memory bound. The slow search is one that waits for a writer's lock: it cannot end
// before the test lets it, whatever the machine's load.
class tst_SearchControl : public QObject
{
    Q_OBJECT

private slots:
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

private:
    void writeGccAndVim();
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
            if (statusText(window) != QString::fromUtf8("正在搜索……"))
                return;
            action(++ticks);
        });
        timer.start(1);
    }
    int ticks = 0;

private:
    QTimer timer;
};

} // namespace

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
    writeFileLists(cataloguePath(), {{1, "/usr/bin/gcc"}, {2, "/usr/bin/vim"}}, true);
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
        if (tick == 3)
            QTest::keyClick(target, Qt::Key_Escape);
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
        if (tick != 2)
            return;
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
        if (tick == 1)
            clickRadio(window.findChild<QRadioButton *>("packageNameRadioButton"));
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
    QTest::newRow("file name of 2 MiB") << true << "x*";
}

void tst_SearchControl::oversizedCellGivesBox()
{
    QFETCH(bool, fileMode);
    QFETCH(QString, keyword);
    const QString huge(2 * 1024 * 1024, QChar('x'));
    execOnCatalogue(cataloguePath(), {
        QString("INSERT INTO qv_pkg_list_t VALUES (3, '%1', '1', '1', 'all')").arg(huge),
        QString("INSERT INTO qv_file_name_t VALUES (3, '%1')").arg(huge),
        "INSERT INTO qv_pkg_file_t VALUES (1, 1, 3)",
    });
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

QTEST_MAIN(tst_SearchControl)
#include "tst_searchcontrol.moc"
