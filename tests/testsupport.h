#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include "cataloguefixtures.h"

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

class QAbstractButton;
class QTableView;
class MainWindow;

// What one modal message box showed.
struct ShownBox
{
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool hasParent = false;
    bool finderVisible = false; // whether a finder window was already on screen
};

// Watches for modal message boxes and closes each one with its only button,
// as a user would, recording what it showed.
class BoxCloser : public QObject
{
    Q_OBJECT
public:
    BoxCloser();
    QList<ShownBox> boxes;

private:
    void closeActiveBox();
    QTimer timer;
};

// Types the keyword into the window, clicks the search button and waits until the
// window has shown the search's answer.
void searchFor(MainWindow &window, const QString &keyword);
// Waits until the window's search and copy have their answers (or were stopped).
void waitForWindow(MainWindow &window);
QTableView *resultTable(MainWindow &window);
// Clicks a radio button on its indicator, as a user does.
void clickRadio(QAbstractButton *button);
// Column texts of every row the table shows.
QStringList tableColumn(QTableView *table, int column);

#endif // TESTSUPPORT_H
