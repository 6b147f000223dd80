// quorvi-finder-probe: opens the finder's real window in the current folder, so that it
// finds its catalogue as the finder does, then runs one search and prints what the window
// shows: the status bar's start-up text, then every result row, columns separated by tabs.
//
//   quorvi-finder-probe [--file-name] KEYWORD
//   quorvi-finder-probe --every-path CATALOGUE
//
// The second form opens no window: it prints every path of every package of the
// catalogue, one a line (a path shipped by several packages once for each), so that a
// script can compare them with the lists the catalogue was made from.
// Without a display it uses Qt's offscreen platform. A message box from the finder is
// closed and printed on stderr; the exit status is 0 when no box was shown and the search
// found rows, 1 otherwise, 2 for a usage error.

#include "catalogueschema.h"
#include "filesearch.h"
#include "mainwindow.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

#include <sqlite3.h>

#include <cstdio>

namespace {
QStringList shownBoxes;

// Modal boxes run their own event loop; the timer closes each as soon as it is up.
void closeMessageBoxes()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box) {
        return;
    }
    shownBoxes << box->windowTitle() + QStringLiteral(": ") + box->text() + QLatin1Char(' ')
                      + box->informativeText();
    box->reject();
}

void printRows(const QAbstractItemModel *model)
{
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data().toString();
        std::printf("row: %s\n", qPrintable(cells.join(QLatin1Char('\t'))));
    }
}
int printEveryPath(const char *path)
{
    sqlite3 *db = nullptr;
    const bool opened = sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    sqlite3_stmt *ids = nullptr;
    if (!opened || sqlite3_prepare_v2(db, "SELECT " QV_PKG_ID " FROM " QV_PKG_TABLE, -1, &ids, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "quorvi-finder-probe: %s: %s\n", path, sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    int status = 0;
    try {
        while (sqlite3_step(ids) == SQLITE_ROW)
            for (const std::string &file : packageFiles(db, uint32_t(sqlite3_column_int64(ids, 0))))
                std::printf("%s\n", file.c_str());
    } catch (const FileSearchError &error) {
        std::fprintf(stderr, "quorvi-finder-probe: %s: %s\n", path, error.what());
        status = 1;
    }
    sqlite3_finalize(ids);
    sqlite3_close(db);
    return status;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && std::string(argv[1]) == "--every-path") {
        return printEveryPath(argv[2]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool fileName = args.removeAll(QStringLiteral("--file-name")) > 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: quorvi-finder-probe [--file-name] KEYWORD\n"
                             "       quorvi-finder-probe --every-path CATALOGUE\n");
        return 2;
    }

    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, &closeMessageBoxes);
    boxWatch.start(20);

    MainWindow window;
    window.show();
    std::printf("status: %s\n", qPrintable(window.findChild<QStatusBar *>(QStringLiteral("statusbar"))->currentMessage()));
    auto *edit = window.findChild<QLineEdit *>(QStringLiteral("keyworkLineEdit"));
    auto *button = window.findChild<QPushButton *>(QStringLiteral("searchPushButton"));
    auto *mode = window.findChild<QRadioButton *>(fileName ? QStringLiteral("fileNameRadioButton")
                                                           : QStringLiteral("packageNameRadioButton"));
    auto *table = window.findChild<QTableView *>(QStringLiteral("tableView"));
    if (!edit || !button || !mode || !table) {
        std::fprintf(stderr, "quorvi-finder-probe: the window lacks a widget it drives\n");
        return 1;
    }
    mode->click();
    edit->setText(args.first());
    button->click();
    // The click returns at once; events run until the window has the search's answer (its
    // rows, or a box), for at most a minute.
    QElapsedTimer clock;
    clock.start();
    while (window.isBusy() && clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    for (const QString &box : shownBoxes)
        std::fprintf(stderr, "quorvi-finder-probe: the finder showed a message box: %s\n", qPrintable(box));
    printRows(table->model());
    return shownBoxes.isEmpty() && table->model()->rowCount() > 0 ? 0 : 1;
}
