#ifndef LIVEWINDOW_H
#define LIVEWINDOW_H

#include <QString>

class MainWindow;

// How the window behaves while a long search runs.
struct LiveFigures
{
    int rows = -1;
    double searchMs = -1;     // click to every row in the view
    double longestGapMs = -1; // longest time between two ticks of a 1 ms timer, click to end
    int ticks = 0;
};

// Runs one search with a 1 ms timer ticking in the window's thread and reports the
// longest time the thread went without serving the timer.
LiveFigures measureLiveSearch(MainWindow &window, const QString &keyword);

// Starts a search and presses Esc after `afterMs`; returns the ms from Esc until the
// search button's handler has returned and the empty table is painted, or -1 when the
// search ended before Esc or did not leave the empty table.
double measureStop(MainWindow &window, const QString &keyword, double afterMs);

#endif // LIVEWINDOW_H
