#ifndef BENCHUTIL_H
#define BENCHUTIL_H

#include <QString>
#include <QList>
#include <QPair>
#include <QStringList>

#include <cstddef>
#include <functional>

// Monotonic clock in milliseconds; CLOCK_MONOTONIC is system-wide, so a child
// process's reading can be subtracted from its parent's.
double nowMs();

// Stores a value where the compiler must assume it is read, so that the work that made it
// is not optimised away.
void keep(size_t value);

// Result of stepping one statement to its end with SQLite's C API.
struct SqlRun
{
    long long rows = -1;
    QString error;
};

// Opens `dbPath` read-only, prepares `statement`, steps it to SQLITE_DONE reading
// every column's text, and closes the connection (the finder opens per search too).
SqlRun runStatement(const QString &dbPath, const QString &statement);

// EXPLAIN QUERY PLAN of a statement, one detail line per plan row.
QStringList queryPlan(const QString &dbPath, const QString &statement);

// Bytes of the pages of each table and index of a catalogue (dbstat), largest first.
QList<QPair<QString, double>> partBytes(const QString &dbPath);

// Result of one subprocess run.
struct ProcRun
{
    bool ok = false;
    QByteArray out;
};
ProcRun runProcess(const QString &program, const QStringList &args,
                   const QString &workDir = QString(), int timeoutMs = 600000);

// The "VmHWM" line of /proc/self/status, in KiB.
long peakRssKiB();

// A median and how many repetitions it came from.
struct Timed
{
    double ms = -1;
    int reps = 0;
};

// Median of `reps` after a warm-up call; a call slower than a second gets 3 repetitions,
// one faster than 20 ms gets 3 x reps (cheap, and damps scheduler noise).
Timed timeIt(int reps, const std::function<void()> &run);

// The median in ms, marked "(n=3)" when it came from fewer than `fullReps` runs.
QString cell(const Timed &t, int fullReps);
double ratio(double a, double b); // -1 when either is missing
QString mib(double kib);
QString loadAverage(); // /proc/loadavg's three figures

QString fmtMs(double ms);
QString fmtRatio(double r);

#endif // BENCHUTIL_H
