// quorvi-finder-probe: opens the finder's real window in the current folder, so that it
// finds its catalogue as the finder does, then runs one search and prints what the window
// shows: the status bar's start-up text, then every result row, columns separated by tabs.
//
//   quorvi-finder-probe [--file-name] KEYWORD
//
// Without a display it uses Qt's offscreen platform. A message box from the finder is
// closed and printed on stderr; the exit status is 0 when no box was shown and the search
// found rows, 1 otherwise, 2 for a usage error.

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

#include <cstdio>

namespace {
QStringList shownBoxes;

// Modal boxes run their own event loop; the timer closes each as soon as it is up.
void closeMessageBoxes()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return;
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
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool fileName = args.removeAll(QStringLiteral("--file-name")) > 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: quorvi-finder-probe [--file-name] KEYWORD\n");
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
    // Should the search answer later than click() returns, events run until rows or a box
    // arrive, for at most a minute.
    QElapsedTimer clock;
    clock.start();
    while (table->model()->rowCount() == 0 && shownBoxes.isEmpty() && clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    for (const QString &box : shownBoxes)
        std::fprintf(stderr, "quorvi-finder-probe: the finder showed a message box: %s\n", qPrintable(box));
    printRows(table->model());
    return shownBoxes.isEmpty() && table->model()->rowCount() > 0 ? 0 : 1;
}
