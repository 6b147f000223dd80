#include "finderdriver.h"
#include "benchutil.h"
#include "mainwindow.h"

#include <QAbstractEventDispatcher>
#include <QAbstractItemModel>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QWindow>

void processUntilIdle()
{
    // Two quiet passes in a row: a paint may post the next update. Outside a running
    // event loop deleteLater() requests are only honoured when asked for by type
    // (as QTest::qWait does); left alone they pile up and slow every later pass.
    for (int quiet = 0; quiet < 2;) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const bool busy = QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents);
        quiet = busy ? 0 : quiet + 1;
    }
}

void waitForAnswer(MainWindow &window)
{
    while (window.isBusy()) {
        QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    processUntilIdle();
}

bool showAndSettle(QWidget *window)
{
    window->show();
    const double deadline = nowMs() + 10000;
    // Spins without sleeping (QTest::qWaitForWindowExposed sleeps in 10 ms steps).
    while (!(window->windowHandle() && window->windowHandle()->isExposed())) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (nowMs() > deadline) {
            return false;
        }
    }
    processUntilIdle();
    return true;
}

FinderDriver::FinderDriver(MainWindow &window)
    : m_window(window)
{
}

bool FinderDriver::chooseFileMode(bool fileNames)
{
    auto *radio = m_window.findChild<QRadioButton *>(fileNames ? QStringLiteral("fileNameRadioButton")
                                                               : QStringLiteral("packageNameRadioButton"));
    if (!radio) {
        return false;
    }
    // A radio button answers clicks on its indicator and text, not on the empty rest of its row.
    QTest::mouseClick(radio, Qt::LeftButton, Qt::NoModifier, QPoint(6, radio->height() / 2));
    processUntilIdle();
    return radio->isChecked();
}

int FinderDriver::search(const QString &keyword, double *split)
{
    auto *edit = m_window.findChild<QLineEdit *>(QStringLiteral("keyworkLineEdit"));
    auto *button = m_window.findChild<QPushButton *>(QStringLiteral("searchPushButton"));
    auto *table = m_window.findChild<QTableView *>(QStringLiteral("tableView"));
    if (!edit || !button || !table) {
        return -1;
    }
    const double t0 = nowMs();
    edit->clear();
    QTest::keyClicks(edit, keyword);
    const double t1 = nowMs();
    QTest::mouseClick(button, Qt::LeftButton);
    const double t2 = nowMs();
    // The click returns at once; the rows come with the search thread's answer.
    waitForAnswer(m_window);
    // The finder fetches every row before it shows the model; make sure nothing is left.
    QAbstractItemModel *model = table->model();
    while (model->canFetchMore(QModelIndex())) {
        model->fetchMore(QModelIndex());
        processUntilIdle();
    }
    if (split) {
        split[0] += t1 - t0;
        split[1] += t2 - t1;
        split[2] += nowMs() - t2;
    }
    return model->rowCount();
}
