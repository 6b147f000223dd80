#ifndef BENCHREPORT_H
#define BENCHREPORT_H

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <vector>

// One line of the results table, as printed.
struct Row
{
    QString kind, keyword, rows, plan, finder, floor, over, peer, peerRows, finderFloor, peerFinder;
};

// A row that sets one figure against a reference; its other cells are "–".
Row compareRow(const QString &kind, const QString &what, const QString &rows, const QString &figure,
               const QString &reference, const QString &ratio);

struct Context
{
    QString data, full; // the data folder (bench/prepare.sh) and its catalogue
    int reps = 7;
    bool peers = true;
    bool plans = false;
    bool haveAptCache = false, haveAptFile = false;
    std::vector<Row> rows;
    QStringList planLines;
    // Figures kept for the target checks.
    struct Figures
    {
        QString keyword;
        double finder, floor, peer;
        int rows = -1; // the finder's
    };
    std::vector<Figures> pkg, file;
    double startFinder = -1, startBare = -1;
    double sizeFull = 0;                        // bytes
    double buildSeconds = -1, buildPeakKiB = -1; // quorvi-catalog on the bookworm lists
    double hookFirstMs = -1, hookChangedMs = -1; // apt's update hook, until it returns
    double packageListMs = -1;                   // every file of the largest package
    double longestGap = -1, stopMs = -1;
    QString slowestKeyword; // the file search the window's responsiveness is measured on
};

extern QTextStream out; // stdout, UTF-8

// The figures of a file-name keyword of the run, or null.
const Context::Figures *fileFigures(const Context &c, const QString &keyword);

// The results table in Markdown.
void printTable(const Context &c);
// Each target with its figure and pass or MISS.
void printTargets(const Context &c);

#endif // BENCHREPORT_H
