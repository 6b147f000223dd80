#include "cataloguebuilddialog.h"
#include "mainwindow.h"
#include "testsupport.h"

#include <QtTest>
#include <QAction>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>

#include <signal.h>

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

// A stand-in builder: a shell script the window starts as quorvi-catalog, then builds with.
bool useScriptAsBuilder(const QString &script, const QByteArray &body)
{
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body) < 0) {
        return false;
    }
    file.close();
    CatalogueBuildDialog::overrideBuilder(script, {});
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
} // namespace

class tst_FirstRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void buildsAndSearchesTheNewCatalogue();
    void realExecutable_data();
    void realExecutable();
    void cancelLeavesNoCatalogue();
    void nextSearchFindsCatalogueMadeMeanwhile_data();
    void nextSearchFindsCatalogueMadeMeanwhile();
    void hostileBuilderOutput();
    void closingNeverWaitsForTheBuilder();

private:
    CatalogueBuildDialog *startBuild(MainWindow &window);
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
CatalogueBuildDialog *tst_FirstRun::startBuild(MainWindow &window)
{
    auto *button = window.findChild<QToolButton *>("buildCatalogueButton");
    if (!button || !button->isVisible() || statusBar(window)->currentMessage() != QString::fromUtf8("没有找到软件包目录")) {
        return nullptr;
    }
    button->click();
    return window.findChild<CatalogueBuildDialog *>();
}

void tst_FirstRun::buildsAndSearchesTheNewCatalogue()
{
    BoxCloser closer;
    MainWindow window;
    window.show();
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().informativeText.contains(QString::fromUtf8("建立软件包目录…")),
             qPrintable(closer.boxes.first().informativeText));

    CatalogueBuildDialog *dialog = startBuild(window);
    QVERIFY(dialog);
    QSignalSpy progress(dialog, &CatalogueBuildDialog::progressed);
    QList<int> bar; // never going back, its steps named in Chinese
    QStringList phases;
    connect(dialog, &CatalogueBuildDialog::progressed, this, [&] { bar << dialog->value(); phases << dialog->labelText(); });
    QSignalSpy finished(dialog, &QDialog::finished);
    QVERIFY(finished.wait(buildTimeoutMs));
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
    QVERIFY(closer.boxes.size() == 1);

    // The builder's own steps came through: both inputs read to the end, then the writing.
    QStringList labels;
    for (const QList<QVariant> &line : progress) {
        QVERIFY(line.at(0).toInt() >= 0 && line.at(0).toInt() <= 1000);
        labels << line.at(1).toString();
    }
    QVERIFY2(labels.contains(QUORVI_DEMO_DATA "/Packages") && labels.contains(QUORVI_DEMO_DATA "/Contents"),
             qPrintable(labels.join('|')));
    QVERIFY2(labels.last().startsWith("writing "), qPrintable(labels.join('|')));
    QVERIFY2(std::is_sorted(bar.begin(), bar.end()) && phases.filter(QString::fromUtf8("\n正在读取 Contents")).size()
                 && phases.last().endsWith(QString::fromUtf8("正在建立索引")), qPrintable(phases.join('|')));

    // The same window names the new catalogue and searches it.
    QCOMPARE(statusBar(window)->currentMessage(),
             QString::fromUtf8("软件包目录：%1（40 个软件包）").arg(dir->userCatalogue()));
    QVERIFY(!window.findChild<QToolButton *>("buildCatalogueButton")->isVisible());
    searchFor(window, "gcc*");
    QCOMPARE(tableColumn(resultTable(window), 1).value(0), QString("gcc-12.2.0-3.amd64"));
    QCOMPARE(closer.boxes.size(), 1);
}

void tst_FirstRun::realExecutable_data()
{
    QTest::addColumn<QString>("arguments"); // none: the test driver answers the window
    QTest::addColumn<bool>("alone");        // the executable copied to a folder of its own
    QTest::addColumn<QStringList>("lines"); // some of what it prints
    const QStringList boxes{QString::fromUtf8("box: 无法创建数据库连接！  [取消]"),
                            QString::fromUtf8("box: 还没有软件包目录，无法搜索。 [建立软件包目录…,取消]"), "dialogs: 0"};
    QTest::newRow("build tree") << "" << false << boxes + QStringList{QString::fromUtf8("status: 找到 4 个软件包")};
    QTest::newRow("no builder near") << "" << true
                                     << boxes + QStringList{QString::fromUtf8("box: 没有找到软件包目录生成器 quorvi-catalog。 [确定]"),
                                                            QString::fromUtf8("status: 没有找到软件包目录")};
    QTest::newRow("--help") << "--help" << false << QStringList{QString::fromUtf8("  -v, --version  显示版本，然后退出。")};
    QTest::newRow("-v") << "-v" << false << QStringList{"quorvi " QUORVI_VERSION};
}

// The finder's own executable in an empty folder, under a locale that is not Chinese and
// without a display for --help and --version. Driven (tests/firstrundriver.cpp): a search
// offers the build, which finds the builder in the build tree and makes the catalogue the
// next search reads; with no builder near, one box says so and no build dialog is made.
void tst_FirstRun::realExecutable()
{
    QFETCH(QString, arguments);
    QFETCH(bool, alone);
    QFETCH(QStringList, lines);
    const QString program = alone ? dir->filePath("quorvi") : QString(QUORVI_FINDER_BIN);
    QVERIFY(!alone || QFile::copy(QUORVI_FINDER_BIN, program));
    QVERIFY(QDir().mkpath(dir->filePath("empty")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    env.insert("LANG", "C.UTF-8");
    env.insert("PATH", "/usr/bin:/bin");
    if (arguments.isEmpty()) {
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_PLUGIN_PATH", QUORVI_DRIVER_PLUGINS);
        env.insert("QT_QPA_GENERIC_PLUGINS", "quorvifirstrundriver");
        env.insert("QUORVI_DRIVER_SOURCES", demoSources.join('|'));
    }
    QProcess finder;
    finder.setProcessEnvironment(env);
    finder.setWorkingDirectory(dir->filePath("empty"));
    finder.start(program, arguments.isEmpty() ? QStringList() : arguments.split(' '));
    QVERIFY(finder.waitForFinished(buildTimeoutMs));
    QCOMPARE(finder.exitCode(), 0);
    const QStringList printed = QString::fromUtf8(finder.readAllStandardOutput()).split('\n');
    for (const QString &line : lines)
        QVERIFY2(printed.contains(line), qPrintable(line + " not in:\n" + printed.join('\n')));
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
    if (foundAtStart) {
        writeCatalogue(dir->filePath("os_pkg_list.db"), {{"old-only", "1", "0", "all"}});
    }
    BoxCloser closer;
    MainWindow window;
    QCOMPARE(closer.boxes.size(), foundAtStart ? 0 : 1);
    if (foundAtStart) {
        QVERIFY(QFile::remove(dir->filePath("os_pkg_list.db")));
    }
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

// A builder (here a script) that writes megabytes of lines, one of them markup, then
// fails: the box shows its last lines, about 64 KiB, as plain text.
void tst_FirstRun::hostileBuilderOutput()
{
    const QString script = dir->filePath("noisy-builder");
    QVERIFY(useScriptAsBuilder(script,
                               "i=0; while [ $i -lt 40000 ]; do echo \"line $i of what the builder says\"; i=$((i+1)); done >&2\n"
                               "echo '<b>last</b> <img src=\"x.png\">' >&2\n"
                               "exit 1\n"));
    BoxCloser closer;
    MainWindow window;
    window.show();
    CatalogueBuildDialog *dialog = startBuild(window);
    QVERIFY(dialog);
    QTRY_COMPARE_WITH_TIMEOUT(closer.boxes.size(), 2, buildTimeoutMs);
    const ShownBox box = closer.boxes.last();
    QCOMPARE(box.title, QString::fromUtf8("建立软件包目录"));
    QVERIFY2(box.text.size() < 70 * 1024, qPrintable(QString::number(box.text.size())));
    QVERIFY(box.text.contains("line 39999 of what the builder says\n<b>last</b>"));
    QVERIFY(box.shown.contains("<b>last</b> <img src=\"x.png\">"));
}

// Closing the window while the builder runs, one that ignores SIGTERM, does not wait for
// it: right after the dialog has gone the builder is still there (it is killed once the
// grace time is over; the test kills it itself).
void tst_FirstRun::closingNeverWaitsForTheBuilder()
{
    const QString script = dir->filePath("stubborn-builder");
    QVERIFY(useScriptAsBuilder(script, "trap '' TERM\n: > \"$0.ready\"\nwhile :; do sleep 1; done\n"));
    BoxCloser closer;
    MainWindow window;
    window.show();
    CatalogueBuildDialog *dialog = startBuild(window);
    QVERIFY(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(script + ".ready"), buildTimeoutMs); // SIGTERM is ignored from here on
    const qint64 pid = dialog->process()->processId();
    QVERIFY(pid > 0);
    delete dialog;
    const bool stillRunning = ::kill(pid_t(pid), 0) == 0;
    ::kill(pid_t(pid), SIGKILL);
    QVERIFY(stillRunning);
    // The process object reaps the builder and deletes itself.
    QTRY_VERIFY_WITH_TIMEOUT(::kill(pid_t(pid), 0) != 0, buildTimeoutMs);
}

QTEST_MAIN(tst_FirstRun)
#include "tst_firstrun.moc"
