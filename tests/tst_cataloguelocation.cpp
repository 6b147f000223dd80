#include "cataloguelocator.h"
#include "mainwindow.h"
#include "testsupport.h"

#include <QtTest>
#include <QSqlDatabase>
#include <QStatusBar>
#include <QTableView>

// Where the finder finds its catalogue: the working folder, the user's cache, the
// system's cache, in that order; what the status bar and the probe's box then say.
class tst_CatalogueLocation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void userPlaceFollowsXdgCacheHome_data();
    void userPlaceFollowsXdgCacheHome();
    void standardPlacesInOrder();
    void firstExistingPlaceIsOpened_data();
    void firstExistingPlaceIsOpened();
    void noCatalogueAnywhere();
    void unreadableFirstPlaceIsReported_data();
    void unreadableFirstPlaceIsReported();
    void statusBarMessageEndsWithFirstSearch();
    void statusBarNamesCatalogueWithoutPackageTable();

private:
    QString placePath(const QString &place) const;
    QStatusBar *statusBar(MainWindow &window) const;

    std::unique_ptr<CatalogueFolder> dir;
};

void tst_CatalogueLocation::init()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
}

void tst_CatalogueLocation::cleanup()
{
    dir.reset();
}

QString tst_CatalogueLocation::placePath(const QString &place) const
{
    if (place == "working") {
        return dir->filePath("os_pkg_list.db");
    }
    if (place == "user") {
        return dir->userCatalogue();
    }
    return dir->systemCatalogue();
}

QStatusBar *tst_CatalogueLocation::statusBar(MainWindow &window) const
{
    return window.findChild<QStatusBar *>("statusbar");
}

// Writes a catalogue at each place whose packages are named after it, one more per place
// down the list, so both the rows and the count show which file the finder opened.
static void writePlaceCatalogue(const QString &path, const QString &place, int packages)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QList<CataloguePackage> rows;
    for (int i = 0; i < packages; ++i)
        rows << CataloguePackage{QString("%1-pkg%2").arg(place).arg(i), "1.0", "1", "amd64"};
    writeCatalogue(path, rows);
}

void tst_CatalogueLocation::userPlaceFollowsXdgCacheHome_data()
{
    QTest::addColumn<QByteArray>("xdgCacheHome");
    QTest::addColumn<QString>("expected");
    const QString home = QDir::homePath();
    QTest::newRow("absolute") << QByteArray("/srv/cache/") << "/srv/cache/quorvi/os_pkg_list.db";
    QTest::newRow("unset") << QByteArray() << home + "/.cache/quorvi/os_pkg_list.db";
    QTest::newRow("empty") << QByteArray("") << home + "/.cache/quorvi/os_pkg_list.db";
    QTest::newRow("relative is ignored") << QByteArray("cache") << home + "/.cache/quorvi/os_pkg_list.db";
}

void tst_CatalogueLocation::userPlaceFollowsXdgCacheHome()
{
    QFETCH(QByteArray, xdgCacheHome);
    QFETCH(QString, expected);
    const QByteArray before = qgetenv("XDG_CACHE_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CACHE_HOME");
    if (xdgCacheHome.isNull()) {
        qunsetenv("XDG_CACHE_HOME");
    } else {
        qputenv("XDG_CACHE_HOME", xdgCacheHome);
    }
    const QString found = CatalogueLocator::userCataloguePath();
    if (wasSet) {
        qputenv("XDG_CACHE_HOME", before);
    } else {
        qunsetenv("XDG_CACHE_HOME");
    }
    QCOMPARE(found, expected);
}

void tst_CatalogueLocation::standardPlacesInOrder()
{
    CatalogueLocator::overrideStandardPlaces({});
    const QStringList places = CatalogueLocator::standard().places();
    QCOMPARE(places, (QStringList{"os_pkg_list.db", CatalogueLocator::userCataloguePath(),
                                  "/var/cache/quorvi/os_pkg_list.db"}));
    CatalogueLocator::overrideStandardPlaces({"a.db", "b.db"});
    QCOMPARE(CatalogueLocator::standard().places(), (QStringList{"a.db", "b.db"}));
}

void tst_CatalogueLocation::firstExistingPlaceIsOpened_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("opened");
    QTest::newRow("working folder only") << QStringList{"working"} << "working";
    QTest::newRow("user cache only") << QStringList{"user"} << "user";
    QTest::newRow("system cache only") << QStringList{"system"} << "system";
    QTest::newRow("all three: working folder wins") << QStringList{"working", "user", "system"} << "working";
    QTest::newRow("user over system") << QStringList{"user", "system"} << "user";
    QTest::newRow("working folder over system") << QStringList{"working", "system"} << "working";
}

void tst_CatalogueLocation::firstExistingPlaceIsOpened()
{
    QFETCH(QStringList, present);
    QFETCH(QString, opened);
    const QStringList order{"working", "user", "system"};
    for (const QString &place : present)
        writePlaceCatalogue(placePath(place), place, order.indexOf(place) + 1);

    BoxCloser closer;
    MessageLog log;
    MainWindow window;
    QVERIFY2(closer.boxes.isEmpty(), qPrintable(closer.boxes.value(0).informativeText));
    const int count = order.indexOf(opened) + 1;
    QCOMPARE(statusBar(window)->currentMessage(),
             QString::fromUtf8("软件包目录：%1（%2 个软件包）").arg(QFileInfo(placePath(opened)).absoluteFilePath()).arg(count));
    // The start-up debug lines stay the two they were.
    QCOMPARE(log.lines().size(), 2);
    QVERIFY(log.lines().at(0).startsWith("app dir "));
    QVERIFY(log.lines().at(1).startsWith("currentPath: "));

    searchFor(window, opened + "-pkg*");
    QCOMPARE(resultTable(window)->model()->rowCount(), count);
    searchFor(window, "*");
    QCOMPARE(resultTable(window)->model()->rowCount(), count);
    QVERIFY(!QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen());
}

void tst_CatalogueLocation::noCatalogueAnywhere()
{
    BoxCloser closer;
    MainWindow window;
    window.show();
    QCOMPARE(closer.boxes.size(), 1);
    const ShownBox box = closer.boxes.first();
    QCOMPARE(box.title, QString::fromUtf8("无法打开数据库"));
    QCOMPARE(box.text, QString::fromUtf8("无法创建数据库连接！ "));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY(!box.finderVisible);
    for (const char *place : {"working", "user", "system"})
        QVERIFY2(box.informativeText.contains(QFileInfo(placePath(place)).absoluteFilePath()),
                 qPrintable(box.informativeText));
    QVERIFY(box.informativeText.contains("quorvi-catalog --user"));
    QCOMPARE(statusBar(window)->currentMessage(), QString::fromUtf8("没有找到软件包目录"));
    for (const char *place : {"working", "user", "system"})
        QVERIFY2(!QFileInfo::exists(placePath(place)), "the finder made a catalogue");
}

void tst_CatalogueLocation::unreadableFirstPlaceIsReported_data()
{
    QTest::addColumn<QString>("broken");
    QTest::addColumn<QString>("kind");
    QTest::newRow("text file in the working folder") << "working" << "text";
    QTest::newRow("text file in the user cache") << "user" << "text";
    QTest::newRow("folder in the user cache") << "user" << "folder";
    QTest::newRow("dangling link in the user cache") << "user" << "dangling link";
    QTest::newRow("text file in the system cache") << "system" << "text";
}

// A broken catalogue is the one the user has to hear about: the finder does not fall
// back to the next place, where an older or another catalogue may lie.
void tst_CatalogueLocation::unreadableFirstPlaceIsReported()
{
    QFETCH(QString, broken);
    QFETCH(QString, kind);
    const QString path = placePath(broken);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    if (kind == "text") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Package: gcc\nVersion: 12.2.0-14\n");
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else {
        QVERIFY(QFile::link(dir->filePath("gone.db"), path));
    }
    if (broken != "system") {
        writePlaceCatalogue(dir->systemCatalogue(), "system", 3);
    }

    BoxCloser closer;
    MainWindow window;
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("无法打开数据库"));
    QCOMPARE(closer.boxes.first().text, QString::fromUtf8("无法创建数据库连接！ "));
    QVERIFY2(closer.boxes.first().informativeText.contains(QFileInfo(path).absoluteFilePath()),
             qPrintable(closer.boxes.first().informativeText));
    QVERIFY(statusBar(window)->currentMessage().isEmpty());
    if (kind == "text") {
        QCOMPARE(fileBytes(path), QByteArray("Package: gcc\nVersion: 12.2.0-14\n"));
    }
}

void tst_CatalogueLocation::statusBarMessageEndsWithFirstSearch()
{
    writePlaceCatalogue(dir->systemCatalogue(), "system", 4);
    MainWindow window;
    window.show();
    const QString startMessage = statusBar(window)->currentMessage();
    QVERIFY(startMessage.contains(dir->systemCatalogue()));
    searchFor(window, "system-pkg0");
    QCOMPARE(resultTable(window)->model()->rowCount(), 1);
    QVERIFY(statusBar(window)->currentMessage() != startMessage);
}

void tst_CatalogueLocation::statusBarNamesCatalogueWithoutPackageTable()
{
    QVERIFY(QDir().mkpath(QFileInfo(dir->userCatalogue()).path()));
    execOnCatalogue(dir->userCatalogue(), {"CREATE TABLE unrelated (x)"});
    BoxCloser closer;
    MainWindow window;
    QVERIFY(closer.boxes.isEmpty());
    QCOMPARE(statusBar(window)->currentMessage(),
             QString::fromUtf8("软件包目录：%1（没有软件包表）").arg(dir->userCatalogue()));
}

QTEST_MAIN(tst_CatalogueLocation)
#include "tst_cataloguelocation.moc"
