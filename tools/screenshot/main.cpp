// quorvi-screenshot: started in a folder that holds os_pkg_list.db, it opens the finder's
// real window, types a keyword, clicks "搜索" and saves what the window shows as a PNG.
//
//   quorvi-screenshot [--keyword KEYWORD] [--size WIDTHxHEIGHT] OUTPUT.png
//
// Without a display it uses Qt's offscreen platform. A message box from the finder (no
// catalogue, a failed search) is closed, reported on stderr, and no picture is written.

#include "mainwindow.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {
// Message boxes the finder raised; each is closed as soon as it is the active modal widget.
QStringList shownBoxes;

void closeMessageBoxes()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box) {
        return;
    }
    shownBoxes << box->windowTitle() + QStringLiteral(": ") + box->text();
    box->reject();
}

void complain(const QString &text)
{
    std::fprintf(stderr, "quorvi-screenshot: %s\n", qPrintable(text));
}
} // namespace

int main(int argc, char *argv[])
{
    // Headless runs (CI, containers) have neither X11 nor Wayland; draw offscreen there.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Searches in the finder window on the catalogue os_pkg_list.db of the current "
        "directory and saves the window as a PNG."));
    parser.addHelpOption();
    QCommandLineOption keywordOption(QStringLiteral("keyword"),
                                     QStringLiteral("Keyword to search for (default gcc*)."),
                                     QStringLiteral("keyword"), QStringLiteral("gcc*"));
    QCommandLineOption sizeOption(QStringLiteral("size"),
                                  QStringLiteral("Window size (default 746x504)."),
                                  QStringLiteral("WIDTHxHEIGHT"), QStringLiteral("746x504"));
    parser.addOption(keywordOption);
    parser.addOption(sizeOption);
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("PNG file to write."));
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        complain(QStringLiteral("give exactly one output file"));
        return 2;
    }
    const QString output = positional.first();
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)$")).match(parser.value(sizeOption));
    if (!size.hasMatch()) {
        complain(QStringLiteral("--size wants WIDTHxHEIGHT, e.g. 746x504"));
        return 2;
    }
    // The finder reads the catalogue from the working directory; without one it would only
    // show its error box.
    if (!QFileInfo(QStringLiteral("os_pkg_list.db")).isFile()) {
        complain(QStringLiteral("no os_pkg_list.db in the current directory"));
        return 1;
    }

    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, &closeMessageBoxes);
    boxWatch.start(20);

    MainWindow window;
    window.resize(size.captured(1).toInt(), size.captured(2).toInt());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 5000)) {
        complain(QStringLiteral("the window was never shown"));
        return 1;
    }

    auto *edit = window.findChild<QLineEdit *>(QStringLiteral("keyworkLineEdit"));
    auto *button = window.findChild<QPushButton *>(QStringLiteral("searchPushButton"));
    auto *table = window.findChild<QTableView *>(QStringLiteral("tableView"));
    if (!edit || !button || !table) {
        complain(QStringLiteral("the window lacks keyworkLineEdit, searchPushButton or tableView"));
        return 1;
    }
    edit->clear();
    QTest::keyClicks(edit, parser.value(keywordOption));
    QTest::mouseClick(button, Qt::LeftButton);
    // The click returns at once: wait for the search's answer, then let the table take the
    // new model and lay out and paint its rows.
    if (!QTest::qWaitFor([&window] { return !window.isBusy(); }, 60000)) {
        complain(QStringLiteral("the search did not end within a minute"));
        return 1;
    }
    QTest::qWait(300);

    if (!shownBoxes.isEmpty()) {
        for (const QString &box : shownBoxes)
            complain(QStringLiteral("the finder showed a message box: ") + box);
        return 1;
    }
    const int rows = table->model() ? table->model()->rowCount() : 0;
    if (rows == 0) {
        complain(QStringLiteral("the search for \"%1\" found no packages").arg(edit->text()));
        return 1;
    }

    const QPixmap picture = window.grab();
    if (picture.isNull() || !picture.save(output, "PNG")) {
        complain(QStringLiteral("could not write ") + output);
        return 1;
    }
    std::printf("%s: %dx%d, %d rows for \"%s\"\n", qPrintable(output), picture.width(),
                picture.height(), rows, qPrintable(edit->text()));
    return 0;
}
