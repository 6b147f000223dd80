#include "mainwindow.h"
#include "searchstatement.h"
#include "testsupport.h"

#include <QtTest>
#include <QComboBox>
#include <QHeaderView>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QStandardItemModel>
#include <QTableView>
#include <catalogueschema.h>

// Searches run through the real window against a small catalogue made for each test.
class tst_Search : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void starRules_data();
    void starRules();
    void debugLines();
    void emptyKeywordIsRefused_data();
    void emptyKeywordIsRefused();
    void noMatchShowsTitles();
    void everyRowIsShown();
    void apostropheKeywordCannotChangeStatement();
    void failedStatementIsReported_data();
    void failedStatementIsReported();
    void replacedModelsAreReleased();

private:
    QString cataloguePath() const { return dir->filePath("os_pkg_list.db"); }
    std::unique_ptr<CatalogueFolder> dir;
};

void tst_Search::init()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
    writeCatalogue(cataloguePath(), {
        {"gcc", "12.2.0", "14", "amd64"},         // 1
        {"gcc-12", "12.2.0", "14", "amd64"},      // 2
        {"libgcc-s1", "12.2.0", "14", "amd64"},   // 3
        {"vim", "9.0.1378", "2", "amd64"},        // 4
        {"vim-tiny", "9.0.1378", "2", "amd64"},   // 5
        {"neovim", "0.7.2", "7", "amd64"},        // 6
        {"star*pkg", "1.0", "1", "all"},          // 7
        {"a*b", "1", "0", "all"},                 // 8
        {"o'neil-tools", "2.0", "1", "all"},      // 9
        {"GCC-Doc", "1", "1", "all"},             // 10
        {"x vim", "1", "1", "all"},               // 11
    });
}

void tst_Search::cleanup()
{
    dir.reset();
}

void tst_Search::starRules_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("clause");
    QTest::addColumn<QStringList>("ids");

    QTest::newRow("exact") << "gcc" << " LIKE 'gcc'" << QStringList{"1"};
    QTest::newRow("prefix, any case") << "gcc*" << " LIKE 'gcc%'" << QStringList{"1", "2", "10"};
    QTest::newRow("suffix") << "*gcc" << " LIKE '%gcc'" << QStringList{"1"};
    QTest::newRow("substring") << "*gcc*" << " LIKE '%gcc%'" << QStringList{"1", "2", "3", "10"};
    QTest::newRow("one star matches all")
        << "*" << " LIKE '%%'" << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"};
    QTest::newRow("two stars match all")
        << "**" << " LIKE '%%'" << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"};
    QTest::newRow("three stars: names with a star") << "***" << " LIKE '%*%'" << QStringList{"7", "8"};
    QTest::newRow("inner star is a character") << "a*b" << " LIKE 'a*b'" << QStringList{"8"};
    QTest::newRow("star then blank") << "* vim" << " LIKE '% vim'" << QStringList{"11"};
    QTest::newRow("percent is a wildcard") << "vim%" << " LIKE 'vim%'" << QStringList{"4", "5"};
    QTest::newRow("blanks trimmed") << "  vim  " << " LIKE 'vim'" << QStringList{"4"};
    QTest::newRow("apostrophe") << "o'neil*" << " LIKE 'o''neil%'" << QStringList{"9"};
}

void tst_Search::starRules()
{
    QFETCH(QString, keyword);
    QFETCH(QString, clause);
    QFETCH(QStringList, ids);

    MainWindow window;
    MessageLog log;
    BoxCloser closer;
    searchFor(window, keyword);

    QVERIFY(closer.boxes.isEmpty());
    const QString statement = QString::fromUtf8(SearchStatement::packagePrefix) + clause;
    QCOMPARE(log.lines().value(1), "\"" + statement + "\"");
    QTableView *table = resultTable(window);
    QStringList shown = tableColumn(table, 0);
    std::sort(shown.begin(), shown.end(), [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
    QCOMPARE(shown, ids);
    QCOMPARE(table->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("序号"));
    QCOMPARE(table->model()->headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("软件包名称"));
    QVERIFY(!QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen());
}

void tst_Search::debugLines()
{
    MainWindow window;
    window.findChild<QComboBox *>("osTypeComboBox")->setCurrentIndex(3);
    MessageLog log;
    searchFor(window, " *vim ");
    QCOMPARE(log.lines(), (QStringList{
                              "pkg ............. \"*vim\" , 3",
                              "\"" + QString::fromUtf8(SearchStatement::packagePrefix) + " LIKE '%vim'\"",
                          }));
    QCOMPARE(tableColumn(resultTable(window), 1),
             (QStringList{"vim-9.0.1378-2.amd64", "neovim-0.7.2-7.amd64", "x vim-1-1.all"}));
}

void tst_Search::emptyKeywordIsRefused_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << "   ";
    QTest::newRow("tab and newline") << "\t \n";
}

void tst_Search::emptyKeywordIsRefused()
{
    QFETCH(QString, keyword);
    MainWindow window;
    searchFor(window, "gcc");
    QAbstractItemModel *shown = resultTable(window)->model();

    MessageLog log;
    BoxCloser closer;
    searchFor(window, keyword);
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("关键字"));
    QCOMPARE(closer.boxes.first().text, QString::fromUtf8("关键字不能为空 "));
    QCOMPARE(closer.boxes.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!closer.boxes.first().hasParent);
    QVERIFY(log.lines().isEmpty());
    QCOMPARE(resultTable(window)->model(), shown);
    QCOMPARE(shown->rowCount(), 1);
}

void tst_Search::noMatchShowsTitles()
{
    MainWindow window;
    BoxCloser closer;
    searchFor(window, "nothing-like-this");
    QVERIFY(closer.boxes.isEmpty());
    QAbstractItemModel *model = resultTable(window)->model();
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->columnCount(), 2);
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("软件包名称"));
}

void tst_Search::everyRowIsShown()
{
    QList<CataloguePackage> many;
    for (int i = 0; i < 700; ++i)
        many << CataloguePackage{QString("pkg%1").arg(i, 3, 10, QChar('0')), "1.0", "1", "amd64"};
    QVERIFY(QFile::remove(cataloguePath()));
    writeCatalogue(cataloguePath(), many);

    MainWindow window;
    window.show();
    searchFor(window, "*");
    QTableView *table = resultTable(window);
    QCOMPARE(table->model()->rowCount(), 700);
    QVERIFY(!table->model()->canFetchMore(QModelIndex()));
    table->scrollToBottom();
    QCOMPARE(table->model()->index(699, 1).data().toString(), QStringLiteral("pkg699-1.0-1.amd64"));
    QCOMPARE(table->model()->rowCount(), 700);
}

void tst_Search::apostropheKeywordCannotChangeStatement()
{
    const QByteArray before = fileBytes(cataloguePath());
    MainWindow window;
    BoxCloser closer;
    for (const QString &keyword : {QStringLiteral("x' OR '1'='1"), QStringLiteral("'"),
                                   QStringLiteral("gcc'; DROP TABLE " QV_PKG_TABLE "; --")}) {
        searchFor(window, keyword);
        QVERIFY2(closer.boxes.isEmpty(), qPrintable(keyword));
        QCOMPARE(resultTable(window)->model()->rowCount(), 0);
        QCOMPARE(resultTable(window)->model()->columnCount(), 2);
    }
    QCOMPARE(fileBytes(cataloguePath()), before);
}

void tst_Search::failedStatementIsReported_data()
{
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QString>("error");
    QTest::newRow("no package table") << QStringList{"DROP TABLE " QV_PKG_TABLE, "CREATE TABLE other (x)"}
                                      << "no such table";
    QTest::newRow("columns missing") << QStringList{"DROP TABLE " QV_PKG_TABLE,
                                                    "CREATE TABLE " QV_PKG_TABLE " (id, name)"}
                                     << "no such column";
}

void tst_Search::failedStatementIsReported()
{
    QFETCH(QStringList, statements);
    QFETCH(QString, error);
    execOnCatalogue(cataloguePath(), statements);

    MainWindow window;
    QAbstractItemModel *headerModel = resultTable(window)->model();
    MessageLog log;
    BoxCloser closer;
    searchFor(window, "gcc");
    QCOMPARE(closer.boxes.size(), 1);
    const ShownBox box = closer.boxes.first();
    QCOMPARE(box.title, QString::fromUtf8("查询失败"));
    QVERIFY2(box.text.contains(error), qPrintable(box.text));
    QVERIFY(box.text.at(0).unicode() > 0x4e00);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY(!box.hasParent);
    QCOMPARE(resultTable(window)->model(), headerModel);
    QCOMPARE(headerModel->columnCount(), 2);
    QVERIFY(!log.linesStartingWith("search failed:").isEmpty());
    QVERIFY(!QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen());
}

void tst_Search::replacedModelsAreReleased()
{
    MainWindow window;
    searchFor(window, "gcc*");
    QPointer<QAbstractItemModel> first = resultTable(window)->model();
    QPointer<QItemSelectionModel> firstSelection = resultTable(window)->selectionModel();
    searchFor(window, "vim*");
    QVERIFY(first.isNull());
    QVERIFY(firstSelection.isNull());
    QCOMPARE(resultTable(window)->model()->rowCount(), 2);
    QCOMPARE(resultTable(window)->horizontalHeader()->sectionResizeMode(1), QHeaderView::Stretch);
    QCOMPARE(resultTable(window)->columnWidth(0), 100);
}

QTEST_MAIN(tst_Search)
#include "tst_search.moc"
