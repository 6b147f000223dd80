#include "mainwindow.h"
#include "testsupport.h"

#include <QRadioButton>
#include <QTableView>
#include <QtTest>

// From the text lists to the window: quorvi-catalog builds the catalogue from the demo's
// Packages and Contents lists (demo/), and the real window finds in it what those lists
// say, by package name and by file name. Package ids follow the Packages list: gcc is
// its 6th stanza, gcc-12 the 7th, gcc-12-base the 8th, gcc-doc the 9th, tzdata the 35th.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void search_data();
    void search();

private:
    std::unique_ptr<CatalogueFolder> dir;
};

void tst_EndToEnd::initTestCase()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
    buildCatalogue(dir->filePath("os_pkg_list.db"), {"--packages", QUORVI_DEMO_DATA "/Packages",
                                                     "--contents", QUORVI_DEMO_DATA "/Contents"});
}

void tst_EndToEnd::search_data()
{
    QTest::addColumn<bool>("fileMode");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QStringList>("rows"); // the table's columns joined by "|"

    const QString gcc = "6|gcc-12.2.0-3.amd64";
    const QString gcc12 = "7|gcc-12-12.2.0-14.amd64";
    QTest::newRow("package name") << false << "gcc" << QStringList{gcc};
    QTest::newRow("package prefix") << false << "gcc*"
                                    << QStringList{gcc, gcc12, "8|gcc-12-base-12.2.0-14.amd64", "9|gcc-doc-12.2.0-1.all"};
    QTest::newRow("epoch-free version with +dfsg") << false << "libqt5core*"
                                                   << QStringList{"19|libqt5core5a-5.15.8+dfsg-11+deb12u3.amd64"};
    QTest::newRow("no such package") << false << "gcc-99" << QStringList();
    QTest::newRow("file name") << true << "gcc" << QStringList{gcc + "|/usr/bin/gcc"};
    QTest::newRow("file shared by two packages")
        << true << "gcc.1.gz"
        << QStringList{gcc + "|/usr/share/man/man1/gcc.1.gz", "9|gcc-doc-12.2.0-1.all|/usr/share/man/man1/gcc.1.gz"};
    QTest::newRow("file path") << true << "/usr/bin/gcc*"
                               << QStringList{gcc + "|/usr/bin/gcc", gcc12 + "|/usr/bin/gcc-12"};
    QTest::newRow("file name substring") << true << "*Shang*"
                                         << QStringList{"35|tzdata-2025b-0+deb12u1.all|/usr/share/zoneinfo/Asia/Shanghai"};
    QTest::newRow("no such file") << true << "no-such-file" << QStringList();
}

void tst_EndToEnd::search()
{
    QFETCH(bool, fileMode);
    QFETCH(QString, keyword);
    QFETCH(QStringList, rows);

    MainWindow window;
    window.show();
    BoxCloser closer;
    clickRadio(window.findChild<QRadioButton *>(fileMode ? "fileNameRadioButton" : "packageNameRadioButton"));
    searchFor(window, keyword);
    QVERIFY(closer.boxes.isEmpty());
    QTableView *table = resultTable(window);
    const int columns = table->model()->columnCount();
    QCOMPARE(columns, fileMode ? 3 : 2);
    QStringList shown;
    for (int row = 0; row < table->model()->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < columns; ++column)
            cells << tableColumn(table, column).at(row);
        shown << cells.join('|');
    }
    QCOMPARE(shown, rows);
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
