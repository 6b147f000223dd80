#ifndef FINDERDRIVER_H
#define FINDERDRIVER_H

#include <QString>

class MainWindow;
class QWidget;

// Processes events until none is left to process, as the window is when the user
// sees the result: posted events, layouts and paints (offscreen platform).
void processUntilIdle();

// Waits, processing events, until the window has the answer it asked its search thread
// for (its search button returns at once), then until it is idle.
void waitForAnswer(MainWindow &window);

// Shows a window and waits until it is exposed and the event loop is idle.
bool showAndSettle(QWidget *window);

// Drives the real finder window by its object names, as a user does.
class FinderDriver
{
public:
    explicit FinderDriver(MainWindow &window);
    // Clicks the file-name or the package-name radio button on its indicator.
    bool chooseFileMode(bool fileNames);
    // Types the keyword, clicks "搜索", processes events until idle;
    // returns the rows in the view's model.
    // `split`, when given, receives the ms spent typing, in the click (the query and
    // model), and processing events afterwards (layout and paint).
    int search(const QString &keyword, double *split = nullptr);

private:
    MainWindow &m_window;
};

#endif // FINDERDRIVER_H
