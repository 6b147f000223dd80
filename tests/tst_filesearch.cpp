#include "elidedtextdelegate.h"
#include "mainwindow.h"
#include "searchresultmodel.h"
#include "searchworker.h"
#include "testsupport.h"

#include <QtTest>
#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QStatusBar>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTableView>
#include <catalogueschema.h>

#include <cstdio>
#include <QLabel>
#include <QLineEdit>
#include <QTextDocumentFragment>
#include <QToolTip>

// File-name searches: which package ships a file, through the window.
namespace {
const QString libcPath = "/usr/lib/x86_64-linux-gnu/libc.so.6";

// Each row the table shows, its three cells joined by "|".
QStringList shownRows(QTableView *table)
{
    const QStringList ids = tableColumn(table, 0), names = tableColumn(table, 1), paths = tableColumn(table, 2);
    QStringList rows;
    for (int row = 0; row < ids.size(); ++row)
        rows << ids.at(row) + '|' + names.at(row) + '|' + paths.at(row);
    return rows;
}

} // namespace

class tst_FileSearch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void findsPackages_data();
    void findsPackages();
    void rowsEqualReference_data();
    void rowsEqualReference();
    void resultColumns();
    void catalogueWithoutFileLists();
    void olderKindCatalogue_data();
    void olderKindCatalogue();
    void elidedCellsShowTooltips();
    void countsTooltipsAndHints_data();
    void countsTooltipsAndHints();
    void pathCellsKeepTheFileName_data();
    void pathCellsKeepTheFileName();
    void tooltipSaysHowManyMore();
    void manyPackagesShowEveryPath();
    void laterPathsComeFromTheSearchedCatalogue();

private:
    void makeCatalogue();
    QString cataloguePath() const { return dir->filePath("os_pkg_list.db"); }
    std::unique_ptr<CatalogueFolder> dir;
};

void tst_FileSearch::init()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
}

void tst_FileSearch::cleanup()
{
    dir.reset();
}

// quorvi-catalog builds the catalogue from data/filesearch (Packages, Contents); the
// package ids follow the Packages file: 1 gcc-12, 2 gcc, 3 libssl3, 4 libssl-dev,
// 5 qtbase, 6 odd-files, 7 empty.
void tst_FileSearch::makeCatalogue()
{
    buildCatalogue(cataloguePath(), {"--packages", testData("filesearch/Packages"),
                                     "--contents", testData("filesearch/Contents")});
}

void tst_FileSearch::findsPackages_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QStringList>("rows");

    const QString gcc = "2|gcc-12.2.0-3.amd64|/usr/bin/gcc";
    const QString odd = "6|odd-files-1-0.all|";
    const QList<QPair<QString, QStringList>> cases{
        {"gcc", {gcc, odd + "/usr/bin/gcc"}},
        {"*gcc*", {"1|gcc-12-12.2.0-14.amd64|/usr/bin/gcc-12", gcc, odd + "/usr/bin/gcc"}},
        {"libssl*", {"3|libssl3-3.0.17-1.amd64|/usr/lib/x86_64-linux-gnu/libssl.so.3",
                     "4|libssl-dev-3.0.17-1.amd64|/usr/lib/x86_64-linux-gnu/libssl.so"}},
        {"*.so.3", {"3|libssl3-3.0.17-1.amd64|/usr/lib/x86_64-linux-gnu/libcrypto.so.3"}},
        {"QT*", {"5|qtbase-5.15.8-11.amd64|/usr/bin/qtchooser"}},
        {"/usr/bin/gcc", {gcc, odd + "/usr/bin/gcc"}},
        {"*/bin/gcc", {gcc, odd + "/usr/bin/gcc"}},
        {"/usr/lib/*", {"1|gcc-12-12.2.0-14.amd64|/usr/lib/gcc/x86_64-linux-gnu/12/cc1",
                        "3|libssl3-3.0.17-1.amd64|/usr/lib/x86_64-linux-gnu/libcrypto.so.3",
                        "4|libssl-dev-3.0.17-1.amd64|/usr/lib/x86_64-linux-gnu/libssl.so",
                        "5|qtbase-5.15.8-11.amd64|/usr/lib/x86_64-linux-gnu/libQt5Core.so.5"}},
        {"/root-file", {odd + "/root-file"}},
        {"*o'neil*", {odd + "/opt/My Files/o'neil.txt"}},
        {QString::fromUtf8("*/中文/*"), {odd + QString::fromUtf8("/usr/share/中文/文档.txt")}},
        {"*_sure", {odd + "/etc/100%_sure"}},
        // A one-character wildcard after the last "/" may stand for a "/" itself: the
        // path cannot be matched as directory and name apart.
        {"*/a?b", {odd + "/x/a/b"}},
        {"*/a_b", {}},
        // "_" and "%" are characters of the name; "*" is any run and "?" one character.
        {"*_*", {"2|gcc-12.2.0-3.amd64|/usr/bin/x86_64-linux-gnu-gcc", odd + "/etc/100%_sure"}},
        {"100%*", {odd + "/etc/100%_sure"}},
        {"100?_sure", {odd + "/etc/100%_sure"}},
        {"100_*", {}},
        {"gcc?12", {"1|gcc-12-12.2.0-14.amd64|/usr/bin/gcc-12"}},
        {"gcc??12", {}},
        {"gcc-1?", {"1|gcc-12-12.2.0-14.amd64|/usr/bin/gcc-12"}},
        {"lib*.so", {"4|libssl-dev-3.0.17-1.amd64|/usr/lib/x86_64-linux-gnu/libssl.so"}},
        {"x86*GCC", {"2|gcc-12.2.0-3.amd64|/usr/bin/x86_64-linux-gnu-gcc"}},
        {"/usr/bin?gcc", {gcc, odd + "/usr/bin/gcc"}},
        {"/usr/lib/x86_64-linux-gnu/*.so*",
         {"3|libssl3-3.0.17-1.amd64|/usr/lib/x86_64-linux-gnu/libcrypto.so.3",
          "4|libssl-dev-3.0.17-1.amd64|/usr/lib/x86_64-linux-gnu/libssl.so",
          "5|qtbase-5.15.8-11.amd64|/usr/lib/x86_64-linux-gnu/libQt5Core.so.5"}},
        {"/usr/lib/x86?64-linux-gnu/libssl.so", {"4|libssl-dev-3.0.17-1.amd64|/usr/lib/x86_64-linux-gnu/libssl.so"}},
        {"/usr/*/gcc", {gcc, odd + "/usr/bin/gcc"}},
        {"no-such-file", {}},
        // A merged-/usr system's two names of one folder; the row shows the shipped path.
        {"/usr/sbin/ifconfig", {odd + "/sbin/ifconfig"}},
        {"/SBIN/ifconfig", {odd + "/sbin/ifconfig"}},
        {"/usr/sbin/*", {odd + "/sbin/ifconfig"}},
        {"/bin/gcc", {gcc, odd + "/usr/bin/gcc"}},
    };
    for (const auto &c : cases)
        QTest::newRow(qPrintable(c.first)) << c.first << c.second;
}

void tst_FileSearch::findsPackages()
{
    QFETCH(QString, keyword);
    QFETCH(QStringList, rows);
    makeCatalogue();

    MainWindow window;
    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    MessageLog log;
    BoxCloser closer;
    searchFor(window, keyword);
    QVERIFY(closer.boxes.isEmpty());
    QCOMPARE(log.lines().size(), 2);
    QCOMPARE(log.lines().at(0), "pkg ............. \"" + keyword + "\" , 0");
    // The second line is the statement the search engine ran, as it ran.
    QCOMPARE(log.lines().at(1), engineStatement(cataloguePath(), keyword));

    QTableView *table = resultTable(window);
    QCOMPARE(table->model()->columnCount(), 3);
    QCOMPARE(shownRows(table), rows);
}

// Whatever plan serves a keyword, the window shows the rows of a plain reference over the
// same file lists: each package's files matched one by one.
void tst_FileSearch::rowsEqualReference_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<bool>("found"); // the fixture has files that the keyword must find
    const QStringList keywords{
        "*gcc*", "*gc*", "*g*", "*", "**", "***", "*.SO.3", "*Qt5*", "*qt*", "*QT.*",
        "*lib%so*", "*lib_so*", "*s_l.so*", "*%_sure", "*100%*", "*o'neil*", "*'*", "*文档*",
        "*中文*", "*x86_64-linux*", "*c*c*", "*ssl.*3", "*/bin/*",
        "*/SHARE/*", "*/中文/*", "/usr/*/gcc*", "*.h", "*README",
        // SQLite's LIKE folds ASCII letters only, and so does the finder.
        QString::fromUtf8("*äöü-tab*"), QString::fromUtf8("*ÄÖÜ-tab*"), QString::fromUtf8("*/äöü*"),
        QString::fromUtf8("*äöü-tabelle.txt"), "*.H", "*x", "*;", "*a_b", "*?.h", "*a\\b", "*\\",
        "/", "/*", "*/", "?", "??", "*/*/*/*/*/*/*/*",
    };
    for (const QString &keyword : keywords)
        QTest::newRow(qPrintable(keyword)) << keyword << false;
    // Quotes, an emoji, a long keyword, literal folders and suffixes of every length.
    const QStringList findingKeywords{
        "*\"hi\"*", "*said \"*", "*/say \"hi\"/*", QString::fromUtf8("*😀😀*"), QString::fromUtf8("*😀😀x*"),
        QString::fromUtf8("*/emoji/😀*"), "*rather-long-file-name-for-a-search*", "*name-for-a-search.TXT",
        "*.so.3", "*ssl*", "*/x86_64-linux-gnu/*", "*x86_64*", "*100%_*", "*s?l.so*", "*x86?64*gcc",
        "*/share/*/*.txt", "/usr/share?qt5?QT.txt", "/usr/lib/x86_64-linux-gnu/*", "/usr/share/doc/gcc-12/*",
        "/USR/BIN/*", "/usr/bin/gcc*", "/x/a/b", "/x/*", "libssl.so.3", "LIBSSL*", "gcc-1?",
        "*3", "*O", "*.so", "*.SO", "*.gz", "*gcc-12", "*README", "*-a-search.txt", "*ssl.h", "*100%_sure", "*%_sure", "*_sure",
        "*r-a-search.txt", "*-for-a-search.txt", "*o'neil.txt", QString::fromUtf8("*😀x.png"),
        QString::fromUtf8("*文档.txt"), QString::fromUtf8("*ÄÖÜ-Tabelle.txt"), "*e said \"hi\".txt",
    };
    for (const QString &keyword : findingKeywords)
        QTest::newRow(qPrintable("finds " + keyword)) << keyword << true;
}

void tst_FileSearch::rowsEqualReference()
{
    QFETCH(QString, keyword);
    QFETCH(bool, found);
    makeCatalogue();
    const QStringList expected = referenceFileRows(cataloguePath(), keyword);
    if (found) {
        QVERIFY2(!expected.isEmpty(), qPrintable(keyword));
    }

    MainWindow window;
    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    BoxCloser closer;
    searchFor(window, keyword);
    QVERIFY2(closer.boxes.isEmpty(), qPrintable(closer.boxes.value(0).text));
    QStringList shown;
    for (const QString &row : shownRows(resultTable(window)))
        shown << row.section('|', 0, 0) + '|' + row.section('|', 2);
    QCOMPARE(shown, expected);
}

void tst_FileSearch::resultColumns()
{
    makeCatalogue();
    MainWindow window;
    window.show();
    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    searchFor(window, "*gcc*");
    QTableView *table = resultTable(window);
    QCOMPARE(table->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("序号"));
    QCOMPARE(table->model()->headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("软件包名称"));
    QCOMPARE(table->model()->headerData(2, Qt::Horizontal).toString(), QString::fromUtf8("匹配文件"));
    QCOMPARE(table->horizontalHeader()->sectionResizeMode(2), QHeaderView::Stretch);
    // Short names: the package column is as wide as they are, the paths take the rest.
    QCOMPARE(table->columnWidth(0), 100);
    QCOMPARE(table->columnWidth(1), qMax(static_cast<QAbstractItemView *>(table)->sizeHintForColumn(1), table->horizontalHeader()->sectionSizeHint(1)));
    QVERIFY(table->columnWidth(2) >= static_cast<QAbstractItemView *>(table)->sizeHintForColumn(2));

    // Back in package-name mode the results keep their two-column layout.
    clickRadio(window.findChild<QRadioButton *>("packageNameRadioButton"));
    searchFor(window, "gcc*");
    QCOMPARE(table->model()->columnCount(), 2);
    QCOMPARE(table->horizontalHeader()->sectionResizeMode(1), QHeaderView::Stretch);
    QCOMPARE(table->columnWidth(0), 100);
}

void tst_FileSearch::catalogueWithoutFileLists()
{
    writeCatalogue(cataloguePath(), {{"gcc", "12.2.0", "3", "amd64"}});
    MainWindow window;
    QAbstractItemModel *headerModel = resultTable(window)->model();
    searchFor(window, "gcc");
    QAbstractItemModel *packages = resultTable(window)->model();
    QCOMPARE(packages->rowCount(), 1);

    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    BoxCloser closer;
    searchFor(window, "gcc");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
    QVERIFY2(closer.boxes.first().text.contains(QString::fromUtf8("不含文件列表")),
             qPrintable(closer.boxes.first().text));
    QCOMPARE(resultTable(window)->model(), headerModel);
    QCOMPARE(headerModel->columnCount(), 2);
}

void tst_FileSearch::olderKindCatalogue_data()
{
    QTest::addColumn<QString>("place"); // where the catalogue lies: "here", "user" or "system"
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QString>("command");
    const QStringList formatOne{
        "PRAGMA user_version = 0",
        "CREATE TABLE " QV_OLD_NAME_TABLE " (id INTEGER PRIMARY KEY, name TEXT NOT NULL)",
        "CREATE TABLE qv_file_dir_t (id INTEGER PRIMARY KEY, path TEXT NOT NULL)",
        "CREATE TABLE " QV_OLD_LINK_TABLE " (pkg_id INTEGER NOT NULL, dir_id INTEGER NOT NULL, name_id INTEGER NOT NULL)",
        "INSERT INTO qv_file_dir_t VALUES (1, '/usr/bin')",
        "INSERT INTO " QV_OLD_NAME_TABLE " VALUES (1, 'gcc')",
        "INSERT INTO " QV_OLD_LINK_TABLE " VALUES (1, 1, 1)",
    };
    const QString here = "quorvi-catalog -o os_pkg_list.db --apt-lists /var/lib/apt/lists";
    QTest::newRow("format 1, working folder") << "here" << formatOne << here;
    QTest::newRow("format 1, user's") << "user" << formatOne << "quorvi-catalog --user";
    QTest::newRow("format 1, system's") << "system" << formatOne << "sudo quorvi-catalog --system";
    // Format 2 had the same tables, with the name blocks' integers in StreamVByte.
    const QStringList formatTwo{QV_CREATE_NAME_BLOCK_TABLE, QV_CREATE_DIR_BLOCK_TABLE, QV_CREATE_PKG_FILES_TABLE,
                                QV_CREATE_TRIGRAM_TABLE, "PRAGMA user_version = 2"};
    QTest::newRow("format 2, user's") << "user" << formatTwo << "quorvi-catalog --user";
    // Format 3 had the same tables without the names' endings among the trigrams.
    QStringList formatThree = formatTwo;
    formatThree.last() = "PRAGMA user_version = 3";
    QTest::newRow("format 3, system's") << "system" << formatThree << "sudo quorvi-catalog --system";
    QTest::newRow("a later format") << "here" << QStringList{QString("PRAGMA user_version = %1").arg(QV_FORMAT_VERSION + 1)} << here;
}

// A catalogue of an earlier layout is still searched by package name; by file name the box
// says it is of an older kind and names the command that makes the catalogue at its place.
void tst_FileSearch::olderKindCatalogue()
{
    QFETCH(QString, place);
    QFETCH(QStringList, statements);
    QFETCH(QString, command);
    const QString path = place == "user" ? dir->userCatalogue() : place == "system" ? dir->systemCatalogue() : cataloguePath();
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    writeCatalogue(path, {{"gcc", "12.2.0", "3", "amd64"}, {"vim", "9.0.1378", "2", "amd64"}});
    execOnCatalogue(path, statements);
    BoxCloser closer;
    MainWindow window;
    QVERIFY(closer.boxes.isEmpty());
    searchFor(window, "gcc");
    QCOMPARE(tableColumn(resultTable(window), 1), QStringList{"gcc-12.2.0-3.amd64"});

    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    searchFor(window, "gcc");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("查询失败"));
    QVERIFY2(closer.boxes.first().text.contains(QString::fromUtf8("旧格式")), qPrintable(closer.boxes.first().text));
    QVERIFY2(closer.boxes.first().text.endsWith(QString::fromUtf8("：") + command), qPrintable(closer.boxes.first().text));
    QCOMPARE(resultTable(window)->model()->rowCount(), 0);
}

// A name too long for the window: its column takes half of the room, the cell is elided
// and its tooltip is the whole text; a cell that fits has no tooltip.
void tst_FileSearch::elidedCellsShowTooltips()
{
    const QString longName = "android-" + QString("platform-frameworks-base-").repeated(6) + "dev";
    writeCatalogue(cataloguePath(), {{longName, "1", "2", "all"}});
    writeFileLists(cataloguePath(), {{1, "/usr/share/doc/" + longName + "/copyright"}});
    MainWindow window;
    window.resize(700, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    searchFor(window, "copyright");
    QTableView *table = resultTable(window);
    QCOMPARE(table->model()->rowCount(), 1);
    QVERIFY(table->columnWidth(1) < static_cast<QAbstractItemView *>(table)->sizeHintForColumn(1));
    QVERIFY(table->columnWidth(1) <= (table->viewport()->width() - 100) / 2);
    QCOMPARE(table->columnWidth(0), 100);

    auto tooltipAt = [table](int column) {
        const QPoint at = table->visualRect(table->model()->index(0, column)).center();
        QHelpEvent event(QEvent::ToolTip, at, table->viewport()->mapToGlobal(at));
        QApplication::sendEvent(table->viewport(), &event);
        return shownText(QToolTip::text());
    };
    QCOMPARE(tooltipAt(0), QString()); // "1" fits
    QCOMPARE(tooltipAt(1), longName + "-1-2.all");
    QCOMPARE(tooltipAt(2), "/usr/share/doc/" + longName + "/copyright");
}

void tst_FileSearch::countsTooltipsAndHints_data()
{
    QTest::addColumn<bool>("fileName");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("status");  // the status bar up to the time
    QTest::addColumn<int>("row");         // a row whose 匹配文件 tooltip is checked, or -1
    QTest::addColumn<QString>("tooltip"); // its matching files
    QTest::addColumn<QString>("hint");    // the hint after an empty result
    const QString gccFiles = "/usr/bin/gcc\n/usr/bin/x86_64-linux-gnu-gcc\n/usr/share/man/man1/gcc.1.gz";
    QTest::newRow("file *gcc*") << true << "*gcc*" << QString::fromUtf8("找到 3 个软件包，5 个文件，") << 1 << gccFiles << "";
    QTest::newRow("file path") << true << "/usr/bin/gcc" << QString::fromUtf8("找到 2 个软件包，2 个文件，") << 0
                               << "/usr/bin/gcc" << "";
    // The files of "*" and of a path whose name part has wildcards are not counted.
    QTest::newRow("file *") << true << "*" << QString::fromUtf8("找到 6 个软件包，用时") << 0
                            << "/usr/bin/gcc-12\n/usr/lib/gcc/x86_64-linux-gnu/12/cc1\n/usr/share/doc/gcc-12/README" << "";
    QTest::newRow("file /usr/lib/*") << true << "/usr/lib/*" << QString::fromUtf8("找到 4 个软件包，用时") << 1
                                     << "/usr/lib/x86_64-linux-gnu/libcrypto.so.3\n/usr/lib/x86_64-linux-gnu/libssl.so.3" << "";
    QTest::newRow("file no match") << true << "gc" << QString::fromUtf8("找到 0 个软件包，0 个文件，") << -1 << ""
                                   << QString::fromUtf8("试试 *gc*：3 个");
    // A path: its merged-/usr alias or "*/" and its last two parts, never "*PATH*".
    const QString none = QString::fromUtf8("找到 0 个软件包，0 个文件，");
    QTest::newRow("path tail") << true << "/opt/x86_64-linux-gnu/libssl.so.3" << none << -1 << ""
                               << QString::fromUtf8("试试 */x86_64-linux-gnu/libssl.so.3：1 个");
    QTest::newRow("package two edits") << false << "gc" << QString::fromUtf8("找到 0 个软件包，用时") << -1 << ""
                                       << QString::fromUtf8("试试 *gc*：2 个；您是不是要找：gcc");
    QTest::newRow("package name only") << false << "LIBSL3" << QString::fromUtf8("找到 0 个软件包，用时") << -1 << ""
                                       << QString::fromUtf8("您是不是要找：libssl3");
    QTest::newRow("package substring") << false << "qtbas" << QString::fromUtf8("找到 0 个软件包，用时") << -1 << ""
                                       << QString::fromUtf8("试试 *qtbas*：1 个；您是不是要找：qtbase");
}

// The status bar counts the matching files where the engine counted them, each 匹配文件
// cell lists its package's matching files as its tooltip, and an empty result gets a hint
// whose last keyword, clicked, is searched for and finds rows.
void tst_FileSearch::countsTooltipsAndHints()
{
    QFETCH(bool, fileName);
    QFETCH(QString, keyword);
    QFETCH(QString, status);
    QFETCH(int, row);
    QFETCH(QString, tooltip);
    QFETCH(QString, hint);
    makeCatalogue();
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (fileName) {
        clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    }
    searchFor(window, keyword);
    const QString shown = window.findChild<QStatusBar *>("statusbar")->currentMessage();
    QVERIFY2(shown.startsWith(status), qPrintable(shown));
    QAbstractItemModel *model = resultTable(window)->model();
    if (row >= 0) {
        QTRY_COMPARE_WITH_TIMEOUT(model->index(row, 2).data(Qt::ToolTipRole).toString(), tooltip, 60000);
    }
    auto *label = window.findChild<QLabel *>("searchHintLabel");
    if (hint.isEmpty()) {
        QVERIFY(label->isHidden());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(QTextDocumentFragment::fromHtml(label->text()).toPlainText(), hint, 60000);
    const QString lastLink = label->text().section("\">", -1).section("</a>", 0, 0);
    emit label->linkActivated(label->text().section("href=\"", -1).section('"', 0, 0));
    QCOMPARE(window.findChild<QLineEdit *>("keyworkLineEdit")->text(), lastLink);
    waitForWindow(window);
    QVERIFY(resultTable(window)->model()->rowCount() > 0);
    QVERIFY(label->isHidden());
}

// A package with more matching files than the tooltip lists: the first 50, then how
// many more.
void tst_FileSearch::tooltipSaysHowManyMore()
{
    writeCatalogue(cataloguePath(), {{"many", "1", "0", "all"}});
    QList<CatalogueFile> files;
    QStringList first;
    for (int i = 0; i < 60; ++i) {
        files << CatalogueFile{1, QString("/usr/share/many/f%1.txt").arg(i, 2, 10, QChar('0'))};
        if (i < 50) {
            first << files.last().path;
        }
    }
    writeFileLists(cataloguePath(), files);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    searchFor(window, "*.txt");
    QVERIFY(window.findChild<QStatusBar *>("statusbar")->currentMessage().startsWith(QString::fromUtf8("找到 1 个软件包，60 个文件，")));
    QTRY_COMPARE_WITH_TIMEOUT(resultTable(window)->model()->index(0, 2).data(Qt::ToolTipRole).toString(),
                              first.join('\n') + QString::fromUtf8("\n还有 10 个文件"), 60000);
}

// More packages match than a search works out paths for before it ends: the rest show a
// placeholder until the search thread brings them, when the view, or a copy, reads them;
// they come from the search's own connection, which stays until the next search.
void tst_FileSearch::manyPackagesShowEveryPath()
{
    const int count = SearchWorker::eagerPathRows + 444;
    QList<CataloguePackage> packages;
    QList<CatalogueFile> files;
    QStringList expected;
    for (int id = 1; id <= count; ++id) {
        const QString name = QString("pkg-%1").arg(id, 3, 10, QChar('0'));
        packages << CataloguePackage{name, "1", "0", "all"};
        files << CatalogueFile{id, "/usr/share/doc/" + name + "/copyright"};
        if (id % 2 == 0) {
            files << CatalogueFile{id, "/usr/bin/" + name};
        }
        if (id % 7 == 0) {
            files << CatalogueFile{id, "/etc/" + name + ".conf"};
        }
        const QString first = id % 7 == 0 ? "/etc/" + name + ".conf"
                              : id % 2 == 0 ? "/usr/bin/" + name : "/usr/share/doc/" + name + "/copyright";
        expected << QString::number(id) + '|' + name + "-1-0.all|" + first;
    }
    writeCatalogue(cataloguePath(), packages);
    writeFileLists(cataloguePath(), files);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    searchFor(window, "*");
    const QString status = window.findChild<QStatusBar *>("statusbar")->currentMessage();
    QVERIFY2(status.startsWith(QString::fromUtf8("找到 %1 个软件包，").arg(count)), qPrintable(status));
    QTableView *table = resultTable(window);
    // The first rows come with their paths; a later one is not known before the window
    // has handled the search thread's answer.
    QCOMPARE(shownRows(table).first(), expected.first());
    QCOMPARE(table->model()->index(count - 1, 2).data().toString(), SearchResultModel::pendingPath);
    QTRY_COMPARE(shownRows(table), expected);

    // A copy of every row carries every path: it ends once they are known.
    searchFor(window, "*/share/doc/*");
    QCOMPARE(table->model()->index(count - 1, 2).data().toString(), SearchResultModel::pendingPath);
    table->selectAll();
    window.findChild<QAction *>("copyAction")->trigger();
    waitForWindow(window);
    const QStringList copied = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(copied.size(), count);
    QCOMPARE(copied.last(), QString("%1\tpkg-%1-1-0.all\t/usr/share/doc/pkg-%1/copyright").arg(count));
}

// The paths worked out after a search come from the catalogue it searched, even when that
// catalogue has since been replaced (quorvi-catalog renames a new one over it): the rows
// and their paths never mix two catalogues.
void tst_FileSearch::laterPathsComeFromTheSearchedCatalogue()
{
    const int count = SearchWorker::eagerPathRows + 10;
    auto write = [count](const QString &path, const QString &folder) {
        QList<CataloguePackage> packages;
        QList<CatalogueFile> files;
        for (int id = 1; id <= count; ++id) {
            packages << CataloguePackage{QString("pkg-%1").arg(id), "1", "0", "all"};
            files << CatalogueFile{id, folder + QString("/pkg-%1").arg(id)};
        }
        writeCatalogue(path, packages);
        writeFileLists(path, files);
    };
    write(cataloguePath(), "/usr/share/doc");
    MainWindow window;
    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    searchFor(window, "*");
    QAbstractItemModel *model = resultTable(window)->model();
    QCOMPARE(model->rowCount(), count);

    const QString replacement = dir->filePath("replacement.db");
    write(replacement, "/opt/other");
    QCOMPARE(std::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(cataloguePath()).constData()), 0);
    QTRY_COMPARE(model->index(count - 1, 2).data().toString(), QString("/usr/share/doc/pkg-%1").arg(count));

    // The next search reads the new catalogue.
    searchFor(window, "*");
    QTRY_COMPARE(resultTable(window)->model()->index(count - 1, 2).data().toString(), QString("/opt/other/pkg-%1").arg(count));
}

void tst_FileSearch::pathCellsKeepTheFileName_data()
{
    QTest::addColumn<QString>("room"); // a text as wide as the cell's text area
    QTest::addColumn<QString>("end");  // how the text shown ends
    QTest::newRow("fits") << libcPath << libcPath;
    QTest::newRow("folders elided") << "/usr/lib/x8…u/libc.so.6" << "/libc.so.6";
    QTest::newRow("name too long") << "/libc.s" << "";
}

// A path too long for its cell loses the middle of its folders before its file's name.
void tst_FileSearch::pathCellsKeepTheFileName()
{
    QFETCH(QString, room);
    QFETCH(QString, end);
    const QFontMetrics metrics(QApplication::font());
    const QString shown = ElidedTextDelegate::elidedPath(libcPath, metrics, metrics.horizontalAdvance(room));
    QVERIFY2(shown.endsWith(end) && shown.contains(QChar(0x2026)) == (end != libcPath)
                 && metrics.horizontalAdvance(shown) <= metrics.horizontalAdvance(room), qPrintable(shown));
}

QTEST_MAIN(tst_FileSearch)
#include "tst_filesearch.moc"
