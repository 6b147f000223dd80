#include "installedpackages.h"
#include "mainwindow.h"
#include "testsupport.h"

#include <QtTest>
#include <QAction>
#include <QClipboard>
#include <QRadioButton>
#include <QStatusBar>
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
    void installCommandOfSelectedRows_data();
    void installCommandOfSelectedRows();

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
                          {"gcc-doc", "12.2.0", "1", "all"},
                          {"libc6", "2.36", "9", "i386"}, {"a;touch x", "1", "1", "all"}, {"-oDebug", "1", "1", "all"}});
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

void tst_Copy::installCommandOfSelectedRows_data()
{
    QTest::addColumn<QString>("keyword"); // every row it finds is selected
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("status");
    QTest::newRow("names within the rule") << "*" << "sudo apt install -- gcc gcc-12 gcc-doc libc6:i386"
                                           << QString::fromUtf8("已复制安装命令（4 个软件包）；2 行没有列入");
    QTest::newRow("an option's name") << "-oDebug" << "before"
                                      << QString::fromUtf8("没有可以安装的软件包，没有复制；1 行没有列入");
}

// "复制安装命令", beside "复制", puts one command for every selected row on the clipboard,
// each name that the package manager's rule allows, qualified where its architecture is
// foreign.
void tst_Copy::installCommandOfSelectedRows()
{
    QFETCH(QString, keyword);
    QFETCH(QString, clipboard);
    QFETCH(QString, status);
    InstalledPackages::setSystem(InstalledPackages::dpkg(dir->filePath("no-status"), "amd64"));
    MainWindow window;
    searchFor(window, keyword);
    QTableView *table = resultTable(window);
    QTRY_VERIFY(table->model()->rowCount() > 0);
    table->selectAll();
    QAction *action = table->actions().value(1);
    QCOMPARE(action->objectName(), QString("installCommandAction"));
    action->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    const QString shown = window.findChild<QStatusBar *>("statusbar")->currentMessage();
    QVERIFY2(shown.startsWith(status), qPrintable(shown));
}

QTEST_MAIN(tst_Copy)
#include "tst_copy.moc"
