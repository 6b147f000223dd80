#include "cataloguebuilddialog.h"
#include "mainwindow.h"
#include "testsupport.h"

#include <QtTest>
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>

// A first run without any catalogue: the window offers to make the user's catalogue, runs
// quorvi-catalog --user with its progress in a dialog and searches the new catalogue
// without a restart; a cancelled build leaves no catalogue.
namespace {
const int buildTimeoutMs = 120000; // a bound for a hung builder, not a measure of speed

QStatusBar *statusBar(MainWindow &window)
{
    return window.findChild<QStatusBar *>("statusbar");
}

// What the folder of the user's catalogue holds besides the builder's lock file.
QStringList catalogueFolderFiles(const QString &catalogue)
{
    QStringList files = QDir(QFileInfo(catalogue).path()).entryList(QDir::Files | QDir::Hidden);
    files.removeAll("." + QFileInfo(catalogue).fileName() + ".lock");
    return files;
}
} // namespace

class tst_FirstRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void buildsAndSearchesTheNewCatalogue_data();
    void buildsAndSearchesTheNewCatalogue();
    void realFinderInEmptyFolder_data();
    void realFinderInEmptyFolder();
    void commandLinePrintsAndExits_data();
    void commandLinePrintsAndExits();
    void cancelLeavesNoCatalogue();
    void nextSearchFindsCatalogueMadeMeanwhile_data();
    void nextSearchFindsCatalogueMadeMeanwhile();

private:
    CatalogueBuildDialog *startBuild(MainWindow &window, bool fromSearch = false);
    std::unique_ptr<CatalogueFolder> dir;
    const QStringList demoSources{"--packages", QUORVI_DEMO_DATA "/Packages", "--contents", QUORVI_DEMO_DATA "/Contents"};
};

void tst_FirstRun::init()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
    // The builder's --user writes where the window looks for the user's catalogue.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir->filePath("home/.cache")));
    qunsetenv("QUORVI_CATALOG_PHASES");
    CatalogueBuildDialog::overrideBuilder(QUORVI_CATALOG_BIN, demoSources);
}

void tst_FirstRun::cleanup()
{
    CatalogueBuildDialog::overrideBuilder(QString(), {});
    qunsetenv("QUORVI_CATALOG_PHASES");
    dir.reset();
}

// The window after the box: the status bar says so and offers the build.
// Or a search, whose box offers the build.
CatalogueBuildDialog *tst_FirstRun::startBuild(MainWindow &window, bool fromSearch)
{
    auto *button = window.findChild<QToolButton *>("buildCatalogueButton");
    if (!button || !button->isVisible() || statusBar(window)->currentMessage() != QString::fromUtf8("没有找到软件包目录"))
        return nullptr;
    if (!fromSearch) {
        button->click();
        return window.findChild<CatalogueBuildDialog *>();
    }
    window.findChild<QLineEdit *>("keyworkLineEdit")->setText("gcc");
    window.findChild<QPushButton *>("searchPushButton")->click();
    auto *box = window.findChild<QMessageBox *>("catalogueBuildBox");
    if (!box || !box->isVisible() || box->buttons().first()->text() != button->text())
        return nullptr;
    box->buttons().first()->click();
    QCoreApplication::processEvents(); // the build starts once the box has closed
    return window.findChild<CatalogueBuildDialog *>();
}

void tst_FirstRun::buildsAndSearchesTheNewCatalogue_data()
{
    QTest::addColumn<bool>("fromSearch");
    QTest::newRow("status bar button") << false;
    QTest::newRow("search without catalogue") << true;
}

void tst_FirstRun::buildsAndSearchesTheNewCatalogue()
{
    QFETCH(bool, fromSearch);
    BoxCloser closer;
    MainWindow window;
    window.show();
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().informativeText.contains(QString::fromUtf8("建立软件包目录…")),
             qPrintable(closer.boxes.first().informativeText));
    closer.boxes.clear();

    CatalogueBuildDialog *dialog = startBuild(window, fromSearch);
    QVERIFY(dialog);
    QSignalSpy progress(dialog, &CatalogueBuildDialog::progressed);
    // The bar over the whole build never goes back, and says each step in Chinese.
    QList<int> bar;
    QStringList phases;
    connect(dialog, &CatalogueBuildDialog::progressed, this, [&] {
        bar << dialog->value();
        phases << dialog->labelText();
    });
    QSignalSpy finished(dialog, &QDialog::finished);
    QVERIFY(finished.wait(buildTimeoutMs));
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
    QVERIFY(closer.boxes.isEmpty());

    // The builder's own steps came through: both inputs read to the end, then the writing.
    QStringList labels;
    for (const QList<QVariant> &line : progress) {
        QVERIFY(line.at(0).toInt() >= 0 && line.at(0).toInt() <= 1000);
        labels << line.at(1).toString();
    }
    QVERIFY2(labels.contains(QUORVI_DEMO_DATA "/Packages") && labels.contains(QUORVI_DEMO_DATA "/Contents"),
             qPrintable(labels.join('|')));
    QVERIFY2(labels.last().startsWith("writing "), qPrintable(labels.join('|')));
    QVERIFY2(std::is_sorted(bar.begin(), bar.end()) && bar.last() > bar.first(), qPrintable(phases.join('|')));
    QVERIFY2(phases.filter(QString::fromUtf8("\n正在读取 Contents")).size() > 0
                 && phases.last().endsWith(QString::fromUtf8("正在建立索引")),
             qPrintable(phases.join('|')));

    // The same window names the new catalogue and searches it.
    QCOMPARE(statusBar(window)->currentMessage(),
             QString::fromUtf8("软件包目录：%1（40 个软件包）").arg(dir->userCatalogue()));
    QVERIFY(!window.findChild<QToolButton *>("buildCatalogueButton")->isVisible());
    searchFor(window, "gcc*");
    QCOMPARE(tableColumn(resultTable(window), 1).value(0), QString("gcc-12.2.0-3.amd64"));
    QVERIFY(closer.boxes.isEmpty());
}

void tst_FirstRun::realFinderInEmptyFolder_data()
{
    QTest::addColumn<bool>("alone"); // the executable copied to a folder of its own
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("lastStatus");
    const QStringList boxes{QString::fromUtf8("无法创建数据库连接！  [取消]"),
                            QString::fromUtf8("还没有软件包目录，无法搜索。 [建立软件包目录…,取消]")};
    QTest::newRow("from the build tree") << false << boxes << QString::fromUtf8("找到 4 个软件包");
    QTest::newRow("no builder near") << true
                                     << boxes + QStringList{QString::fromUtf8("没有找到软件包目录生成器 quorvi-catalog。 [确定]")}
                                     << QString::fromUtf8("没有找到软件包目录");
}

// The finder's own executable, in an empty folder under a locale that is not Chinese
// (Qt's buttons are Chinese all the same), driven by tests/firstrundriver.cpp: a search
// offers the build, which finds the builder in the build tree and makes the user's
// catalogue that the next search reads; with no builder near, one box says so and no
// build dialog is made to show over it.
void tst_FirstRun::realFinderInEmptyFolder()
{
    QFETCH(bool, alone);
    QFETCH(QStringList, boxes);
    QFETCH(QString, lastStatus);
    QString program = QUORVI_FINDER_BIN;
    if (alone) {
        QVERIFY(QDir().mkpath(dir->filePath("bin")) && QFile::copy(program, dir->filePath("bin/quorvi")));
        program = dir->filePath("bin/quorvi");
    }
    QVERIFY(QDir().mkpath(dir->filePath("empty")));
    QProcess finder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "DISPLAY"})
        env.remove(name);
    env.insert("LANG", "C.UTF-8");
    env.insert("PATH", "/usr/bin:/bin");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_PLUGIN_PATH", QUORVI_DRIVER_PLUGINS);
    env.insert("QT_QPA_GENERIC_PLUGINS", "quorvifirstrundriver");
    env.insert("QUORVI_DRIVER_SOURCES", demoSources.join('|'));
    finder.setProcessEnvironment(env);
    finder.setWorkingDirectory(dir->filePath("empty"));
    finder.start(program, QStringList());
    QVERIFY(finder.waitForFinished(buildTimeoutMs));
    QCOMPARE(finder.exitCode(), 0);
    const QStringList said = QString::fromUtf8(finder.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QStringList shown;
    for (const QString &line : said.filter(QRegularExpression("^box: ")))
        shown << line.mid(5).section(']', 0, 0) + ']';
    QCOMPARE(shown, boxes);
    QVERIFY2(said.contains("dialogs: 0"), qPrintable(said.join('\n')));
    QVERIFY2(said.last().startsWith("status: " + lastStatus), qPrintable(said.join('\n')));
    QCOMPARE(QFileInfo::exists(dir->userCatalogue()), !alone);
    QCOMPARE(QDir(dir->filePath("empty")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void tst_FirstRun::commandLinePrintsAndExits_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("printed"); // a line of what it prints
    QTest::newRow("--help") << "--help" << QString::fromUtf8("  -v, --version  显示版本，然后退出。");
    QTest::newRow("-h") << "-h" << QString::fromUtf8("  -h, --help     显示这段帮助，然后退出。");
    QTest::newRow("--version") << "--version" << "quorvi " QUORVI_VERSION;
    QTest::newRow("-v after Qt's -reverse") << "-reverse -v" << "quorvi " QUORVI_VERSION;
}

// Without any display: the window would not open, so the answer comes before it.
void tst_FirstRun::commandLinePrintsAndExits()
{
    QFETCH(QString, option);
    QFETCH(QString, printed);
    QProcess finder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL", "LANGUAGE"})
        env.remove(name);
    env.insert("LANG", "C.UTF-8");
    finder.setProcessEnvironment(env);
    finder.start(QUORVI_FINDER_BIN, option.split(' '));
    QVERIFY(finder.waitForFinished(buildTimeoutMs));
    QCOMPARE(finder.exitStatus(), QProcess::NormalExit);
    QCOMPARE(finder.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(finder.readAllStandardOutput()).split('\n');
    QVERIFY2(lines.contains(printed), qPrintable(lines.join('\n')));
}

// The builder is held at its phase gate once its temporary file exists; Cancel ends it,
// and neither a catalogue nor the temporary is left.
void tst_FirstRun::cancelLeavesNoCatalogue()
{
    qputenv("QUORVI_CATALOG_PHASES", "1");
    BoxCloser closer;
    MainWindow window;
    window.show();
    CatalogueBuildDialog *dialog = startBuild(window);
    QVERIFY(dialog);
    QSignalSpy finished(dialog, &QDialog::finished);
    dialog->process()->write("\n"); // past "started", to "temporary file created"
    QTRY_VERIFY_WITH_TIMEOUT(catalogueFolderFiles(dir->userCatalogue()).size() == 1, buildTimeoutMs);
    QVERIFY(catalogueFolderFiles(dir->userCatalogue()).first().startsWith(".os_pkg_list.db.tmp-"));

    dialog->findChild<QPushButton *>()->click();
    QVERIFY(finished.wait(buildTimeoutMs));
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    QCOMPARE(catalogueFolderFiles(dir->userCatalogue()), QStringList());
    QCOMPARE(closer.boxes.size(), 1); // a cancel is no failure to report
    QVERIFY(window.findChild<QToolButton *>("buildCatalogueButton")->isVisible());
}

void tst_FirstRun::nextSearchFindsCatalogueMadeMeanwhile_data()
{
    QTest::addColumn<bool>("foundAtStart");
    QTest::newRow("none at start") << false;
    QTest::newRow("the one in use removed") << true;
}

// A catalogue made outside the window (quorvi-catalog run in a terminal) is used by the
// next search, and the status bar names it.
void tst_FirstRun::nextSearchFindsCatalogueMadeMeanwhile()
{
    QFETCH(bool, foundAtStart);
    if (foundAtStart)
        writeCatalogue(dir->filePath("os_pkg_list.db"), {{"old-only", "1", "0", "all"}});
    BoxCloser closer;
    MainWindow window;
    QCOMPARE(closer.boxes.size(), foundAtStart ? 0 : 1);
    if (foundAtStart)
        QVERIFY(QFile::remove(dir->filePath("os_pkg_list.db")));
    QVERIFY(QDir().mkpath(QFileInfo(dir->userCatalogue()).path()));
    buildCatalogue(dir->userCatalogue(), demoSources);

    searchFor(window, "gcc");
    QCOMPARE(tableColumn(resultTable(window), 1), QStringList{"gcc-12.2.0-3.amd64"});
    const QString status = statusBar(window)->currentMessage();
    QVERIFY2(status.endsWith(QString::fromUtf8("（改用了软件包目录 %1）").arg(dir->userCatalogue())), qPrintable(status));
    QVERIFY(!window.findChild<QToolButton *>("buildCatalogueButton")->isVisible());
    searchFor(window, "gcc");
    QVERIFY(!statusBar(window)->currentMessage().contains(QString::fromUtf8("改用了")));
}

QTEST_MAIN(tst_FirstRun)
#include "tst_firstrun.moc"
