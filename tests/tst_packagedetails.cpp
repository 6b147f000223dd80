#include "installedpackages.h"
#include "mainwindow.h"
#include "packagedetailswindow.h"
#include "testsupport.h"

#include <QtTest>
#include <QDir>
#include <QToolTip>
#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include <catalogueschema.h>
#include <filesearch.h>
#include <sqlite3.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    void hostileText_data();
    void hostileText();
    void hostilePathTooltip();
    void replacedCatalogue();
    void longFileList();
    void closingDoesNotWaitForTheRead();

private:
    PackageDetailsWindow *showDirect(PackageDetailsWindow &window, PackageDetailsRequest request);
    PackageDetailsWindow *open(MainWindow &window, const QString &keyword, bool fileMode, const QString &how);
    QString text(PackageDetailsWindow *details, const char *name);
    std::unique_ptr<CatalogueFolder> dir;
    std::unique_ptr<BoxCloser> closer; // an error box fails the test instead of blocking it
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
    closer = std::make_unique<BoxCloser>();
}

void tst_PackageDetails::cleanup()
{
    const QList<ShownBox> boxes = closer->boxes;
    closer.reset();
    dir.reset();
    QVERIFY2(boxes.isEmpty(), qPrintable(boxes.value(0).title + ": " + boxes.value(0).text));
}

// Shows a request in the window as MainWindow sends it and waits for the answer.
PackageDetailsWindow *tst_PackageDetails::showDirect(PackageDetailsWindow &window, PackageDetailsRequest request)
{
    QSignalSpy shown(&window, &PackageDetailsWindow::detailsShown);
    if (request.path.isEmpty()) {
        request.path = dir->filePath("os_pkg_list.db");
    }
    request.databaseName = request.path;
    request.connectOptions = request.connectOptions.isEmpty() ? QStringLiteral("QSQLITE_OPEN_READONLY")
                                                              : request.connectOptions;
    window.showPackage(request);
    return shown.wait(60000) ? &window : nullptr;
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
    } else if (how == "double-click") {
        doubleClick(table->viewport(), table->visualRect(first).center());
    } else {
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
                       "已安装 2:9.0.1378-2+deb12u1（软件包目录中是 2:9.0.1378-2+deb12u2）", "sudo apt install -- vim"}
        << vimFiles;
    QTest::newRow("foreign architecture") << "libc6" << false << "double-click" << false
        << QStringList{"2.36-9+deb12u4", "i386", "GNU C Library: Shared libraries", "libs", "未安装",
                       "sudo apt install -- libc6:i386"}
        << QStringList{"/lib/i386-linux-gnu/libc.so.6"};
    QTest::newRow("configuration files only, no section") << "hello" << false << "menu" << false
        << QStringList{"2.10-3", "amd64", "example package", "（元数据中没有）", "未安装", "sudo apt install -- hello"}
        << QStringList{"/usr/bin/hello"};
    QTest::newRow("file-name search marks its matches") << "vim*" << true << "menu" << false
        << QStringList{"2:9.0.1378-2+deb12u2", "amd64", "Vi IMproved - enhanced vi editor", "editors",
                       "已安装 2:9.0.1378-2+deb12u1（软件包目录中是 2:9.0.1378-2+deb12u2）", "sudo apt install -- vim"}
        << QStringList{"/usr/bin/vim*", "/usr/share/vim/vimrc*", "/usr/share/doc/vim/copyright"};
    QTest::newRow("catalogue without the details table") << "vim" << false << "enter" << true
        << QStringList{"9.0.1378-2+deb12u2", "amd64", "（软件包目录中没有）", "（软件包目录中没有）", "已安装 2:9.0.1378-2+deb12u1",
                       "sudo apt install -- vim"}
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
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("sudo apt install -- libc6:i386"));
}

void tst_PackageDetails::hostileText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("arch");
    QTest::addColumn<QString>("command"); // as the window shows it; none for a name the rule refuses
    QTest::newRow("markup in summary, section and version") << "vim" << "amd64" << "sudo apt install -- vim";
    QTest::newRow("shell words in the name") << "vim;touch${IFS}PWNED" << "amd64" << "";
    QTest::newRow("an option for a name") << "-oAPT::Get::Assume-Yes=true" << "amd64" << "";
    QTest::newRow("markup in the name") << "<img src=\"x.png\"><b>vim</b>" << "amd64" << "";
    QTest::newRow("shell words in a foreign architecture") << "vim" << "i386;id" << "";
}

// A catalogue left in a shared folder chooses every text the window shows: each shows as
// the characters it is (an image tag loads nothing, a table draws none), and the install
// command is offered only for a name the package manager's rule allows.
void tst_PackageDetails::hostileText()
{
    QFETCH(QString, name);
    QFETCH(QString, arch);
    QFETCH(QString, command);
    const QString version = "<b>2</b>:9.0";
    const QString summary = "<img src=\"x.png\"> <table><tr><td>cell</td></tr></table>";
    const QString section = "<i>editors</i>";
    auto quoted = [](const QString &text) { return "'" + QString(text).replace("'", "''") + "'"; };
    execOnCatalogue(dir->filePath("os_pkg_list.db"),
                    {"UPDATE " QV_PKG_TABLE " SET name = " + quoted(name) + ", arch = " + quoted(arch) + " WHERE id = 1",
                     "UPDATE " QV_PKG_INFO_TABLE " SET version = " + quoted(version) + ", summary = " + quoted(summary)
                         + ", section = " + quoted(section) + " WHERE pkg_id = 1"});
    PackageDetailsWindow window;
    PackageDetailsRequest request;
    request.package = 1;
    QVERIFY(showDirect(window, request));
    const QStringList expected{name, version, arch, summary, section};
    QStringList shown;
    for (const char *label : {"nameValue", "versionValue", "archValue", "summaryValue", "sectionValue"}) {
        const QLabel *value = window.findChild<QLabel *>(label);
        shown << shownText(value->text(), value->textFormat());
    }
    QCOMPARE(shown, expected);
    QCOMPARE(text(&window, "installCommandEdit"), command);
}

// A path that looks like markup shows as itself in the 匹配文件 tooltip.
void tst_PackageDetails::hostilePathTooltip()
{
    const QString path = "/usr/share/vim/<b>bold</b><img src=\"x.png\">pwned";
    writeText(dir->filePath("Contents"), "usr/bin/vim editors/vim\n" + path.mid(1).toUtf8() + " editors/vim\n");
    buildCatalogue(dir->filePath("os_pkg_list.db"),
                   {"--packages", dir->filePath("Packages"), "--contents", dir->filePath("Contents")});
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    clickRadio(window.findChild<QRadioButton *>("fileNameRadioButton"));
    searchFor(window, "*pwned");
    QTableView *table = resultTable(window);
    QCOMPARE(tableColumn(table, 2), QStringList{path});
    const QPoint at = table->visualRect(table->model()->index(0, 2)).center();
    QTRY_VERIFY_WITH_TIMEOUT(!table->model()->index(0, 2).data(Qt::ToolTipRole).toString().isEmpty(), 60000);
    QHelpEvent hover(QEvent::ToolTip, at, table->viewport()->mapToGlobal(at));
    QApplication::sendEvent(table->viewport(), &hover);
    QCOMPARE(shownText(QToolTip::text()), path);
}

// The search showed a row; a new catalogue renamed in since gives its id to another
// package. The window says so instead of showing that package and its command.
void tst_PackageDetails::replacedCatalogue()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    searchFor(window, "vim");
    QTableView *table = resultTable(window);
    QCOMPARE(tableColumn(table, 1), QStringList{"vim-9.0.1378-2+deb12u2.amd64"});
    const QString fresh = dir->filePath("fresh.db");
    writeCatalogue(fresh, {{"aaa-new", "9.9", "1", "amd64"}, {"vim", "9.0.1378", "2+deb12u2", "amd64"}});
    QVERIFY(::rename(QFile::encodeName(fresh).constData(),
                     QFile::encodeName(dir->filePath("os_pkg_list.db")).constData()) == 0);
    table->setCurrentIndex(table->model()->index(0, 1));
    window.findChild<QAction *>("detailsAction")->trigger();
    auto *details = window.findChild<PackageDetailsWindow *>();
    QVERIFY(details);
    QTRY_VERIFY_WITH_TIMEOUT(text(details, "nameValue") != QString::fromUtf8("正在读取……"), 60000);
    QCOMPARE(text(details, "missingDetailsLabel"), QString::fromUtf8("软件包目录已被替换，请重新搜索"));
    QCOMPARE(text(details, "nameValue"), QString());
    QCOMPARE(text(details, "installCommandEdit"), QString());
}

// A package of many files: the read lists the first ones and counts the rest, and a read
// told to stop ends part way instead of making every path.
void tst_PackageDetails::longFileList()
{
    const QString path = dir->filePath("many.db");
    writeCatalogue(path, {{"many", "1", "1", "all"}});
    QList<CatalogueFile> files;
    for (int i = 0; i < 10000; ++i)
        files.append({1, QString("/usr/share/many/%1/file-%2").arg(i % 7).arg(i, 5, 10, QChar('0'))});
    writeFileLists(path, files);
    PackageDetailsWindow window;
    PackageDetailsRequest request;
    request.path = path;
    request.package = 1;
    request.maxFiles = 100;
    QVERIFY(showDirect(window, request));
    QCOMPARE(window.findChild<QListView *>("fileListView")->model()->rowCount(), 100);
    QVERIFY2(text(&window, "filesLabel").contains(QString::fromUtf8("还有 9,900 个未列出")),
             qPrintable(text(&window, "filesLabel")));

    execOnCatalogue(path, {}); // the file exists and is a catalogue
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    int asked = 0;
    QVERIFY_EXCEPTION_THROWN(packageFiles(db, 1, SIZE_MAX, [&asked] { return ++asked > 1; }), FileSearchError);
    size_t total = 0;
    QCOMPARE(packageFiles(db, 1, 10, {}, &total).size(), size_t(10));
    QCOMPARE(total, size_t(10000));
    sqlite3_close(db);
}

namespace {
// Whether a thread of this process has the name (Linux: /proc/self/task/*/comm).
bool threadNamed(const QByteArray &name)
{
    for (const QString &task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name) {
            return true;
        }
    }
    return false;
}
} // namespace

// A window closed while its loader is held (here reading a dpkg status file that is a
// FIFO, until the test's writer closes it) goes at once; the loader's thread ends on its
// own once it can go on. Should the window wait, the writer lets go after 30 s, the
// thread ends with it and the check fails.
void tst_PackageDetails::closingDoesNotWaitForTheRead()
{
    const QByteArray fifo = QFile::encodeName(dir->filePath("status-fifo"));
    QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
    InstalledPackages::setSystem(InstalledPackages::dpkg(QFile::decodeName(fifo), "amd64"));
    auto *window = new PackageDetailsWindow;
    PackageDetailsRequest request;
    request.package = 1;
    request.path = dir->filePath("os_pkg_list.db");
    request.databaseName = request.path;
    request.connectOptions = "QSQLITE_OPEN_READONLY";
    window->showPackage(request);
    int writer = -1; // opened once the loader has the FIFO open for reading
    const auto openWriter = [&] { return writer >= 0 || (writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK)) >= 0; };
    QTRY_VERIFY_WITH_TIMEOUT(openWriter(), 60000);
    std::mutex mutex;
    std::condition_variable checked;
    bool done = false;
    std::thread valve([&] {
        std::unique_lock<std::mutex> lock(mutex);
        checked.wait_for(lock, std::chrono::seconds(30), [&done] { return done; });
        ::close(writer);
    });
    delete window;
    const bool stillReading = threadNamed("quorvi-details");
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    checked.notify_one();
    valve.join();
    QVERIFY(stillReading);
    QTRY_VERIFY_WITH_TIMEOUT(!threadNamed("quorvi-details"), 60000);
}

QTEST_MAIN(tst_PackageDetails)
#include "tst_packagedetails.moc"
