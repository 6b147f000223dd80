#include "mainwindow.h"
#include "testsupport.h"

#include <QtTest>
#include <QAction>
#include <QClipboard>
#include <QRadioButton>
#include <QTableView>

// Copying result rows to the clipboard with Ctrl+C or the context menu's "复制".
class tst_Copy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void ctrlCCopiesSelectedRows();
    void contextMenuOffersCopy();
    void fileResultsCopyThreeColumns();
    void emptySelectionKeepsClipboard();

private:
    std::unique_ptr<CatalogueFolder> dir;
};

void tst_Copy::init()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
    const QString path = dir->filePath("os_pkg_list.db");
    writeCatalogue(path, {{"gcc", "12.2.0", "3", "amd64"},
                          {"gcc-12", "12.2.0", "14", "amd64"},
                          {"gcc-doc", "12.2.0", "1", "all"}});
    writeFileLists(path, {{1, "/usr/bin/gcc"}, {2, "/usr/bin/gcc-12"}});
    QGuiApplication::clipboard()->setText("before");
}

void tst_Copy::cleanup()
{
    dir.reset();
}

void tst_Copy::ctrlCCopiesSelectedRows()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    searchFor(window, "gcc*");
    QTableView *table = resultTable(window);
    // Rows 2 and 0, picked in that order, come out in table order.
    table->selectRow(2);
    table->selectionModel()->select(table->model()->index(0, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("1\tgcc-12.2.0-3.amd64\n3\tgcc-doc-12.2.0-1.all\n"));
}

void tst_Copy::contextMenuOffersCopy()
{
    MainWindow window;
    searchFor(window, "gcc");
    QTableView *table = resultTable(window);
    QCOMPARE(table->contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction *copy = nullptr;
    for (QAction *action : table->actions()) {
        if (action->text() == QString::fromUtf8("复制")) {
            copy = action;
        }
    }
    QVERIFY(copy);
    table->selectRow(0);
    copy->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("1\tgcc-12.2.0-3.amd64\n"));
}

void tst_Copy::fileResultsCopyThreeColumns()
{
    MainWindow window;
    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    searchFor(window, "gcc*");
    QTableView *table = resultTable(window);
    table->selectAll();
    window.findChild<QAction *>("copyAction")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("1\tgcc-12.2.0-3.amd64\t/usr/bin/gcc\n2\tgcc-12-12.2.0-14.amd64\t/usr/bin/gcc-12\n"));
}

void tst_Copy::emptySelectionKeepsClipboard()
{
    MainWindow window;
    searchFor(window, "gcc*");
    window.findChild<QAction *>("copyAction")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
}

QTEST_MAIN(tst_Copy)
#include "tst_copy.moc"
