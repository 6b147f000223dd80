#include "installedpackages.h"
#include "mainwindow.h"
#include "packagedetailswindow.h"
#include "testsupport.h"

#include <QtTest>
#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include <catalogueschema.h>

// The details window of a result row: what the catalogue says of the package (made by
// quorvi-catalog from Packages and Contents texts), whether a test dpkg status file has it
// installed, the install command for a native and a foreign architecture, and its files,
// the matching ones first after a file-name search.
class tst_PackageDetails : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void details_data();
    void details();
    void filterCopyAndReplace();

private:
    PackageDetailsWindow *open(MainWindow &window, const QString &keyword, bool fileMode, const QString &how);
    QString text(PackageDetailsWindow *details, const char *name);
    std::unique_ptr<CatalogueFolder> dir;
};

namespace {
void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// As the window system delivers one: a click, then the second press followed by its
// double-click event.
void doubleClick(QWidget *widget, const QPoint &at)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &twice);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

QStringList shownFiles(PackageDetailsWindow *details)
{
    QStringList paths;
    QAbstractItemModel *model = details->findChild<QListView *>("fileListView")->model();
    for (int row = 0; row < model->rowCount(); ++row)
        paths << model->index(row, 0).data().toString() + (model->index(row, 0).data(Qt::FontRole).value<QFont>().bold() ? "*" : "");
    return paths;
}
} // namespace

void tst_PackageDetails::init()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
    writeText(dir->filePath("Packages"),
              "Package: vim\nVersion: 2:9.0.1378-2+deb12u2\nArchitecture: amd64\nSection: editors\n"
              "Description: Vi IMproved - enhanced vi editor\n Vim is an almost compatible version of vi.\n\n"
              "Package: libc6\nVersion: 2.36-9+deb12u4\nArchitecture: i386\nSection: libs\n"
              "Description: GNU C Library: Shared libraries\n\n"
              "Package: hello\nVersion: 2.10-3\nArchitecture: amd64\nDescription: example package\n");
    writeText(dir->filePath("Contents"),
              "usr/bin/vim editors/vim\nusr/share/vim/vimrc editors/vim\nusr/share/doc/vim/copyright editors/vim\n"
              "lib/i386-linux-gnu/libc.so.6 libs/libc6\nusr/bin/hello devel/hello\n");
    // vim installed in an older version, hello removed with its configuration kept.
    writeText(dir->filePath("status"),
              "Package: vim\nStatus: install ok installed\nArchitecture: amd64\nVersion: 2:9.0.1378-2+deb12u1\n\n"
              "Package: hello\nStatus: deinstall ok config-files\nArchitecture: amd64\nVersion: 2.10-3\n");
    buildCatalogue(dir->filePath("os_pkg_list.db"),
                   {"--packages", dir->filePath("Packages"), "--contents", dir->filePath("Contents")});
    InstalledPackages::setSystem(InstalledPackages::dpkg(dir->filePath("status"), "amd64"));
}

void tst_PackageDetails::cleanup()
{
    dir.reset();
}

// Opens the first row of a search's result as a user does (Enter, a double-click or the
// context menu's action) and waits until the details window shows it.
PackageDetailsWindow *tst_PackageDetails::open(MainWindow &window, const QString &keyword, bool fileMode,
                                               const QString &how)
{
    if (fileMode) {
        clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    }
    searchFor(window, keyword);
    QTableView *table = resultTable(window);
    QModelIndex first = table->model()->index(0, 1);
    if (!first.isValid()) {
        return nullptr;
    }
    window.activateWindow(); // back from the details window, as a user clicks it
    if (!QTest::qWaitForWindowActive(&window)) {
        return nullptr;
    }
    table->setCurrentIndex(first);
    table->setFocus();
    if (how == "enter") {
        QTest::keyClick(table, Qt::Key_Return);
    
    }else if (how == "double-click") {
        doubleClick(table->viewport(), table->visualRect(first).center());
    
    }else {
        window.findChild<QAction *>("detailsAction")->trigger();
    }
    auto *details = window.findChild<PackageDetailsWindow *>();
    // The request marks every value as being read, until the loader's answer arrives.
    const bool shown = details && QTest::qWaitFor([&] {
        return text(details, "nameValue") != QString::fromUtf8("正在读取……");
    }, 60000);
    return shown ? details : nullptr;
}

QString tst_PackageDetails::text(PackageDetailsWindow *details, const char *name)
{
    if (auto *label = details->findChild<QLabel *>(name)) {
        return label->text();
    }
    return details->findChild<QLineEdit *>(name)->text();
}

void tst_PackageDetails::details_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<bool>("fileMode");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("withoutDetails");
    QTest::addColumn<QStringList>("values"); // version, arch, summary, section, installed, command
    QTest::addColumn<QStringList>("files");  // as shown; "*" marks a matched file

    const QStringList vimFiles{"/usr/bin/vim", "/usr/share/doc/vim/copyright", "/usr/share/vim/vimrc"};
    QTest::newRow("installed, older version") << "vim" << false << "enter" << false
        << QStringList{"2:9.0.1378-2+deb12u2", "amd64", "Vi IMproved - enhanced vi editor", "editors",
                       "已安装 2:9.0.1378-2+deb12u1（软件包目录中是 2:9.0.1378-2+deb12u2）", "sudo apt install vim"}
        << vimFiles;
    QTest::newRow("foreign architecture") << "libc6" << false << "double-click" << false
        << QStringList{"2.36-9+deb12u4", "i386", "GNU C Library: Shared libraries", "libs", "未安装",
                       "sudo apt install libc6:i386"}
        << QStringList{"/lib/i386-linux-gnu/libc.so.6"};
    QTest::newRow("configuration files only, no section") << "hello" << false << "menu" << false
        << QStringList{"2.10-3", "amd64", "example package", "（元数据中没有）", "未安装", "sudo apt install hello"}
        << QStringList{"/usr/bin/hello"};
    QTest::newRow("file-name search marks its matches") << "vim*" << true << "menu" << false
        << QStringList{"2:9.0.1378-2+deb12u2", "amd64", "Vi IMproved - enhanced vi editor", "editors",
                       "已安装 2:9.0.1378-2+deb12u1（软件包目录中是 2:9.0.1378-2+deb12u2）", "sudo apt install vim"}
        << QStringList{"/usr/bin/vim*", "/usr/share/vim/vimrc*", "/usr/share/doc/vim/copyright"};
    QTest::newRow("catalogue without the details table") << "vim" << false << "enter" << true
        << QStringList{"9.0.1378-2+deb12u2", "amd64", "（软件包目录中没有）", "（软件包目录中没有）", "已安装 2:9.0.1378-2+deb12u1",
                       "sudo apt install vim"}
        << vimFiles;
}

void tst_PackageDetails::details()
{
    QFETCH(QString, keyword);
    QFETCH(bool, fileMode);
    QFETCH(QString, how);
    QFETCH(bool, withoutDetails);
    QFETCH(QStringList, values);
    QFETCH(QStringList, files);
    if (withoutDetails) {
        execOnCatalogue(dir->filePath("os_pkg_list.db"), {"DROP TABLE " QV_PKG_INFO_TABLE});
    }
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    PackageDetailsWindow *details = open(window, keyword, fileMode, how);
    QVERIFY(details);
    QVERIFY(details->isVisible());
    QCOMPARE(text(details, "nameValue"), keyword.remove('*'));
    const QStringList shown{text(details, "versionValue"), text(details, "archValue"), text(details, "summaryValue"),
                            text(details, "sectionValue"), text(details, "installedValue"),
                            text(details, "installCommandEdit")};
    QCOMPARE(shown, values);
    QCOMPARE(details->findChild<QLabel *>("missingDetailsLabel")->isVisibleTo(details), withoutDetails);
    if (withoutDetails) {
        QVERIFY(text(details, "missingDetailsLabel").contains(QV_PKG_INFO_TABLE));
    }
    QCOMPARE(shownFiles(details), files);
}

// The filter narrows the list, Ctrl+C copies the selected paths (every shown one when
// none is selected), and a second package replaces the first in the same window.
void tst_PackageDetails::filterCopyAndReplace()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    PackageDetailsWindow *details = open(window, "vim", false, "enter");
    QVERIFY(details);
    auto *list = details->findChild<QListView *>("fileListView");
    QTest::keyClicks(details->findChild<QLineEdit *>("fileFilterEdit"), "SHARE");
    QCOMPARE(shownFiles(details), QStringList({"/usr/share/doc/vim/copyright", "/usr/share/vim/vimrc"}));
    QVERIFY(text(details, "filesLabel").contains("筛选后显示 2 个"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("/usr/share/doc/vim/copyright\n/usr/share/vim/vimrc\n"));
    list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("/usr/share/vim/vimrc\n"));

    QCOMPARE(open(window, "libc6", false, "enter"), details);
    QCOMPARE(window.findChildren<PackageDetailsWindow *>().size(), 1);
    QCOMPARE(text(details, "nameValue"), QStringLiteral("libc6"));
    QCOMPARE(shownFiles(details), QStringList{"/lib/i386-linux-gnu/libc.so.6"});
    details->findChild<QPushButton *>("copyCommandButton")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("sudo apt install libc6:i386"));
}

QTEST_MAIN(tst_PackageDetails)
#include "tst_packagedetails.moc"
