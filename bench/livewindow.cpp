#include "livewindow.h"
#include "benchutil.h"
#include "finderdriver.h"
#include "mainwindow.h"

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {

struct Widgets
{
    QLineEdit *edit = nullptr;
    QPushButton *button = nullptr;
    QTableView *table = nullptr;
};

Widgets widgetsOf(MainWindow &window)
{
    return {window.findChild<QLineEdit *>(QStringLiteral("keyworkLineEdit")),
            window.findChild<QPushButton *>(QStringLiteral("searchPushButton")),
            window.findChild<QTableView *>(QStringLiteral("tableView"))};
}

} // namespace

LiveFigures measureLiveSearch(MainWindow &window, const QString &keyword)
{
    LiveFigures figures;
    const Widgets w = widgetsOf(window);
    if (!w.edit || !w.button || !w.table) {
        return figures;
    }
    w.edit->setText(keyword);
    QTimer ticker;
    double last = 0, longest = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = nowMs();
        longest = qMax(longest, now - last);
        last = now;
        ++figures.ticks;
    });
    ticker.start(1);
    const double start = nowMs();
    last = start;
    QTest::mouseClick(w.button, Qt::LeftButton);
    waitForAnswer(window);
    const double end = nowMs();
    ticker.stop();
    figures.longestGapMs = qMax(longest, end - last);
    figures.searchMs = end - start;
    figures.rows = w.table->model()->rowCount();
    return figures;
}

double measureStop(MainWindow &window, const QString &keyword, double afterMs)
{
    const Widgets w = widgetsOf(window);
    if (!w.edit || !w.button || !w.table) {
        return -1;
    }
    w.edit->setText(keyword);
    double pressed = -1;
    QTimer::singleShot(int(afterMs), w.edit, [&] {
        pressed = nowMs();
        QTest::keyClick(w.edit, Qt::Key_Escape);
    });
    QTest::mouseClick(w.button, Qt::LeftButton);
    waitForAnswer(window);
    const double end = nowMs();
    if (pressed < 0 || w.table->model()->rowCount() != 0) {
        return -1;
    }
    return end - pressed;
}
