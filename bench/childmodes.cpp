#include "childmodes.h"
#include "benchutil.h"
#include "finderdriver.h"
#include "mainwindow.h"

#include <QLabel>
#include <QMainWindow>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QVBoxLayout>

#include <cstdio>
#include <unistd.h>

[[noreturn]] void childStartup(const QString &mode)
{
    const double idle = [&] {
        if (mode == QLatin1String("finder")) {
            auto *window = new MainWindow; // leaked on purpose: the process ends right away
            showAndSettle(window);
        } else {
            // "bare+db": the bare window after opening the catalogue as the finder does,
            // to tell the database's share of the finder's start-up from the widgets'.
            if (mode == QLatin1String("bare+db")) {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
                db.setDatabaseName(QStringLiteral("os_pkg_list.db"));
                db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
                if (db.open()) {
                    QSqlQuery(db).exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
                }
                db.close();
            }
            auto *window = new QMainWindow;
            if (mode == QLatin1String("bare+text")) {
                // The bare window draws no glyph at all; one label makes it load fonts as
                // any window with text must.
                auto *central = new QWidget;
                auto *layout = new QVBoxLayout(central);
                layout->addWidget(new QLabel(QString::fromUtf8("操作系统：")));
                layout->addWidget(new QTableView);
                window->setCentralWidget(central);
            } else {
                window->setCentralWidget(new QTableView);
            }
            showAndSettle(window);
        }
        return nowMs();
    }();
    printf("IDLE %.3f %ld\n", idle, peakRssKiB());
    fflush(stdout);
    _exit(0); // the parent measured what it needs; teardown is no part of start-up
}

[[noreturn]] void childMemory()
{
    MainWindow window;
    showAndSettle(&window);
    FinderDriver driver(window);
    const long shown = peakRssKiB();
    const int pkgRows = driver.search(QStringLiteral("*"));
    const long afterPkg = peakRssKiB();
    driver.chooseFileMode(true);
    const int fileRows = driver.search(QStringLiteral("*.so*"));
    const long afterFile = peakRssKiB();
    printf("MEM %ld %d %ld %d %ld\n", shown, pkgRows, afterPkg, fileRows, afterFile);
    fflush(stdout);
    _exit(0);
}

int loopSearch(const QString &keyword, int n, bool fileMode)
{
    MainWindow window;
    showAndSettle(&window);
    FinderDriver driver(window);
    if (fileMode) {
        driver.chooseFileMode(true);
    }
    int rows = 0;
    double split[3] = {0, 0, 0};
    const double start = nowMs();
    for (int i = 0; i < n; ++i)
        rows = driver.search(keyword, split);
    printf("%d searches of %s: %d rows, %.3f ms each (typing %.3f, click %.3f, events after %.3f)\n", n,
           qPrintable(keyword), rows, (nowMs() - start) / n, split[0] / n, split[1] / n, split[2] / n);
    return 0;
}

