#ifndef BENCHREPORT_H
#define BENCHREPORT_H

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <vector>

// One line of the results table, as printed.
struct Row
{
    QString kind, keyword, rows, finder, floor, plain, peer, peerRows, finderFloor, plainFinder, peerFinder;
};

struct Context
{
    QString full, plain; // catalogue paths
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
        double finder, floor, plain, peer;
        bool trigram;
    };
    std::vector<Figures> pkg, file;
    double startFinder = -1, startBare = -1;
    double sizeFull = 0, sizePlain = 0, sizeSuffix = 0, sizePackageSuffix = 0, sizePackageIndex = 0;
    double longestGap = -1, stopMs = -1;
    QString slowestKeyword; // the file search the window's responsiveness is measured on
};

extern QTextStream out; // stdout, UTF-8

// The results table in Markdown.
void printTable(const Context &c);
// Each target with its figure and pass or MISS.
void printTargets(const Context &c);
// Times the file-name statements on copies of the catalogue that carry one proposed change.
void measureVariants(Context &c, const QStringList &variantDirs, const QStringList &keywords);

#endif // BENCHREPORT_H
