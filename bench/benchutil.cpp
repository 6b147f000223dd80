#include "benchutil.h"

#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {
volatile size_t sink;
} // namespace

void keep(size_t value)
{
    sink = value;
}

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

SqlRun runStatement(const QString &dbPath, const QString &statement)
{
    SqlRun result;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        result.error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return result;
    }
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = statement.toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), sql.size(), &stmt, nullptr) != SQLITE_OK) {
        result.error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return result;
    }
    const int columns = sqlite3_column_count(stmt);
    long long rows = 0;
    size_t bytes = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            sqlite3_column_text(stmt, c);
            bytes += sqlite3_column_bytes(stmt, c);
        }
        ++rows;
    }
    if (rc != SQLITE_DONE) {
        result.error = QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        result.rows = rows;
    }
    keep(bytes);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
}

QStringList queryPlan(const QString &dbPath, const QString &statement)
{
    QStringList lines;
    sqlite3 *db = nullptr;
    sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = "EXPLAIN QUERY PLAN " + statement.toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), sql.size(), &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW)
            lines << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 3)));
    } else {
        lines << QStringLiteral("(cannot explain: %1)").arg(QString::fromUtf8(sqlite3_errmsg(db)));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return lines;
}

QList<QPair<QString, double>> partBytes(const QString &dbPath)
{
    QList<QPair<QString, double>> parts;
    sqlite3 *db = nullptr;
    sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    const char *sql = "SELECT name, sum(pgsize) FROM dbstat GROUP BY name ORDER BY 2 DESC";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            parts.append({QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))),
                          sqlite3_column_double(stmt, 1)});
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return parts;
}

ProcRun runProcess(const QString &program, const QStringList &args, const QString &workDir, int timeoutMs)
{
    QProcess process;
    if (!workDir.isEmpty()) {
        process.setWorkingDirectory(workDir);
    }
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, args);
    ProcRun run;
    if (!process.waitForStarted(10000)) {
        return run;
    }
    process.closeWriteChannel();
    // Read as it comes so that a large output never blocks the child on a full pipe.
    while (!process.waitForFinished(50)) {
        run.out += process.readAllStandardOutput();
        process.readAllStandardError();
        if (process.state() == QProcess::NotRunning) {
            break;
        }
        if ((timeoutMs -= 50) <= 0) {
            process.kill();
            process.waitForFinished();
            return run;
        }
    }
    run.out += process.readAllStandardOutput();
    run.ok = process.exitStatus() == QProcess::NormalExit;
    return run;
}

long peakRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

Timed timeIt(int reps, const std::function<void()> &run)
{
    const double start = nowMs();
    run();
    const double warm = nowMs() - start;
    Timed t;
    t.reps = warm > 1000 ? std::min(reps, 3) : warm < 20 ? 3 * reps : reps;
    std::vector<double> times;
    for (int i = 0; i < t.reps; ++i) {
        const double s = nowMs();
        run();
        times.push_back(nowMs() - s);
    }
    std::sort(times.begin(), times.end());
    t.ms = times.size() % 2 ? times[times.size() / 2]
                            : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    return t;
}

QString cell(const Timed &t, int fullReps)
{
    if (t.ms < 0) {
        return QStringLiteral("–");
    }
    return fmtMs(t.ms) + (t.reps < fullReps ? QStringLiteral(" (n=%1)").arg(t.reps) : QString());
}

double ratio(double a, double b)
{
    return a > 0 && b > 0 ? a / b : -1;
}

QString mib(double kib)
{
    return QString::number(kib / 1024, 'f', 1) + QStringLiteral(" MiB");
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
                                          : QStringLiteral("?");
}

QString fmtMs(double ms)
{
    if (ms < 0) {
        return QStringLiteral("–");
    }
    if (ms < 10) {
        return QString::number(ms, 'f', 2);
    }
    if (ms < 100) {
        return QString::number(ms, 'f', 1);
    }
    return QString::number(ms, 'f', 0);
}

QString fmtRatio(double r)
{
    if (!(r > 0)) {
        return QStringLiteral("–");
    }
    return QString::number(r, 'f', r < 10 ? 2 : 0) + QLatin1Char('x');
}
