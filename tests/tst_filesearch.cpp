#include "mainwindow.h"
#include "searchstatement.h"
#include "testsupport.h"

#include <QtTest>
#include <QHeaderView>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>

// File-name searches: which package ships a file, through the window, with and
// without the trigram indexes.
class tst_FileSearch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void findsPackages_data();
    void findsPackages();
    void trigramRowsEqualPlainRows_data();
    void trigramRowsEqualPlainRows();
    void resultColumns();
    void catalogueWithoutFileLists();

private:
    void makeCatalogue(bool trigrams);
    QStringList rowsOf(const QString &statement);
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

void tst_FileSearch::makeCatalogue(bool trigrams)
{
    writeCatalogue(cataloguePath(), {
        {"gcc-12", "12.2.0", "14", "amd64"},      // 1
        {"gcc", "12.2.0", "3", "amd64"},          // 2
        {"libssl3", "3.0.17", "1", "amd64"},      // 3
        {"libssl-dev", "3.0.17", "1", "amd64"},   // 4
        {"qtbase", "5.15.8", "11", "amd64"},      // 5
        {"odd-files", "1", "0", "all"},           // 6
        {"empty", "1", "0", "all"},               // 7
    });
    writeFileLists(cataloguePath(), {
        {1, "/usr/bin/gcc-12"}, {1, "/usr/lib/gcc/x86_64-linux-gnu/12/cc1"}, {1, "/usr/share/doc/gcc-12/README"},
        {2, "/usr/bin/x86_64-linux-gnu-gcc"}, {2, "/usr/bin/gcc"}, {2, "/usr/share/man/man1/gcc.1.gz"},
        {3, "/usr/lib/x86_64-linux-gnu/libssl.so.3"}, {3, "/usr/lib/x86_64-linux-gnu/libcrypto.so.3"},
        {4, "/usr/lib/x86_64-linux-gnu/libssl.so"}, {4, "/usr/include/openssl/ssl.h"},
        {5, "/usr/lib/x86_64-linux-gnu/libQt5Core.so.5"}, {5, "/usr/share/qt5/QT.txt"}, {5, "/usr/bin/qtchooser"},
        {6, "/opt/My Files/o'neil.txt"}, {6, QString::fromUtf8("/usr/share/中文/文档.txt")},
        {6, "/etc/100%_sure"}, {6, "/usr/bin/gcc"}, {6, "/root-file"},
        {6, QString::fromUtf8("/usr/share/ÄÖÜ-Tabelle.txt")}, {6, "/usr/share/say \"hi\"/he said \"hi\".txt"},
        {6, QString::fromUtf8("/usr/share/emoji/😀😀x.png")}, {6, "/usr/share/rather-long-file-name-for-a-search.txt"},
    }, trigrams);
}

void tst_FileSearch::findsPackages_data()
{
    QTest::addColumn<bool>("trigrams");
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
        {"no-such-file", {}},
    };
    for (bool trigrams : {false, true}) {
        for (const auto &c : cases)
            QTest::addRow("%s %s", trigrams ? "trigrams" : "plain", qPrintable(c.first)) << trigrams << c.first << c.second;
    }
}

void tst_FileSearch::findsPackages()
{
    QFETCH(bool, trigrams);
    QFETCH(QString, keyword);
    QFETCH(QStringList, rows);
    makeCatalogue(trigrams);

    MainWindow window;
    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    MessageLog log;
    BoxCloser closer;
    searchFor(window, keyword);
    QVERIFY(closer.boxes.isEmpty());
    QCOMPARE(log.lines().size(), 2);
    QCOMPARE(log.lines().at(0), "pkg ............. \"" + keyword + "\" , 0");

    QTableView *table = resultTable(window);
    QCOMPARE(table->model()->columnCount(), 3);
    QStringList shown;
    for (int row = 0; row < table->model()->rowCount(); ++row) {
        shown << QStringList{tableColumn(table, 0).at(row), tableColumn(table, 1).at(row),
                             tableColumn(table, 2).at(row)}.join('|');
    }
    QCOMPARE(shown, rows);
}

QStringList tst_FileSearch::rowsOf(const QString &statement)
{
    QStringList rows;
    QSqlQuery query(QSqlDatabase::database("compare"));
    if (!query.exec(statement)) {
        rows << "error: " + query.lastError().text();
        return rows;
    }
    while (query.next())
        rows << query.value(0).toString() + '|' + query.value(2).toString();
    return rows;
}

// The trigram indexes only make a search faster: for every keyword they give the
// very rows of the plain LIKE statement.
void tst_FileSearch::trigramRowsEqualPlainRows_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<bool>("found"); // the fixture has files that the keyword must find
    const QStringList keywords{
        "*gcc*", "*gc*", "*g*", "*", "**", "***", "*.SO.3", "*Qt5*", "*qt*", "*QT.*",
        "*lib%so*", "*lib_so*", "*s_l.so*", "*%_sure", "*100%*", "*o'neil*", "*'*", "*文档*",
        "*中文*", "*x86_64-linux*", "*c*c*", "*ssl.*3", "*/bin/*",
        "*/SHARE/*", "*/中文/*", "/usr/*/gcc*", "*.h", "*README",
        // SQLite's LIKE folds ASCII letters only; the trigram index folds more.
        QString::fromUtf8("*äöü-tab*"), QString::fromUtf8("*ÄÖÜ-tab*"), QString::fromUtf8("*/äöü*"),
    };
    for (const QString &keyword : keywords)
        QTest::newRow(qPrintable(keyword)) << keyword << false;
    // Quotes end an index query's phrase unless doubled; an emoji is one character there;
    // a long keyword puts only some of its trigrams into the index query.
    const QStringList findingKeywords{
        "*\"hi\"*", "*said \"*", "*/say \"hi\"/*", QString::fromUtf8("*😀😀*"), QString::fromUtf8("*😀😀x*"),
        QString::fromUtf8("*/emoji/😀*"), "*rather-long-file-name-for-a-search*", "*name-for-a-search.TXT",
        "*.so.3", "*ssl*", "*/x86_64-linux-gnu/*",
    };
    for (const QString &keyword : findingKeywords)
        QTest::newRow(qPrintable("finds " + keyword)) << keyword << true;
}

void tst_FileSearch::trigramRowsEqualPlainRows()
{
    QFETCH(QString, keyword);
    QFETCH(bool, found);
    makeCatalogue(true);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "compare");
        db.setDatabaseName(cataloguePath());
        QVERIFY(db.open());
        CatalogueFeatures plain;
        plain.fileLists = true;
        const CatalogueFeatures indexed = CatalogueFeatures::read(db);
        QVERIFY(indexed.nameTrigrams && indexed.dirTrigrams);
        const QStringList expected = rowsOf(SearchStatement::build(keyword, SearchMode::FileName, plain));
        QVERIFY2(expected.isEmpty() || !expected.first().startsWith("error"), qPrintable(expected.value(0)));
        if (found)
            QVERIFY2(!expected.isEmpty(), qPrintable(keyword));
        QCOMPARE(rowsOf(SearchStatement::build(keyword, SearchMode::FileName, indexed)), expected);
    }
    QSqlDatabase::removeDatabase("compare");
}

void tst_FileSearch::resultColumns()
{
    makeCatalogue(true);
    MainWindow window;
    window.show();
    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    searchFor(window, "*gcc*");
    QTableView *table = resultTable(window);
    QCOMPARE(table->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("序号"));
    QCOMPARE(table->model()->headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("软件包名称"));
    QCOMPARE(table->model()->headerData(2, Qt::Horizontal).toString(), QString::fromUtf8("匹配文件"));
    QCOMPARE(table->horizontalHeader()->sectionResizeMode(2), QHeaderView::Stretch);
    QVERIFY(table->columnWidth(1) >= 200);
    QVERIFY(table->columnWidth(2) >= 200);

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

QTEST_MAIN(tst_FileSearch)
#include "tst_filesearch.moc"
