#include "extrarows.h"
#include "benchutil.h"
#include "enginerun.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

QString plocateDb(const Context &c)
{
    return c.data + QStringLiteral("/plocate/plocate.db");
}

// The words of the first line of a file the scripts wrote, or none.
QStringList words(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readLine()).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString seconds(const QString &s)
{
    return s.isEmpty() ? QStringLiteral("–") : s + QStringLiteral(" s");
}

} // namespace

void addSizeRows(Context &c)
{
    c.sizeFull = QFileInfo(c.full).size();
    const double plocate = QFileInfo(plocateDb(c)).size();
    Row whole = compareRow(QStringLiteral("catalogue size"), QStringLiteral("whole file"), QStringLiteral("–"),
                           mib(c.sizeFull / 1024), QStringLiteral("%1 MB").arg(c.sizeFull / 1e6, 0, 'f', 1),
                           QStringLiteral("–"));
    if (plocate > 0) {
        whole.peer = mib(plocate / 1024) + QStringLiteral(" (plocate)");
        whole.peerFinder = fmtRatio(plocate / c.sizeFull);
    }
    c.rows.push_back(whole);
    for (const auto &part : partBytes(c.full)) {
        c.rows.push_back(compareRow(QStringLiteral("catalogue size"), QLatin1Char('`') + part.first + QLatin1Char('`'),
                                    QStringLiteral("–"), mib(part.second / 1024), QStringLiteral("–"),
                                    QString::number(part.second / c.sizeFull * 100, 'f', 1) + QStringLiteral(" %")));
    }
}

void addBuildRows(Context &c)
{
    // "SECONDS PEAK_KIB LOAD1 LOAD5 LOAD15", and for plocate-build the path count after it.
    const QStringList ours = words(c.data + QStringLiteral("/build.txt"));
    const QStringList theirs = words(c.data + QStringLiteral("/plocate/build.txt"));
    if (ours.size() >= 2) {
        c.buildSeconds = ours[0].toDouble();
        c.buildPeakKiB = ours[1].toDouble();
    }
    const QString load = QStringList(ours.mid(2, 3)).join(QLatin1Char(' '));
    Row time = compareRow(QStringLiteral("build"), QStringLiteral("quorvi-catalog time (load %1)").arg(load),
                          QStringLiteral("–"), seconds(ours.value(0)), QStringLiteral("–"), QStringLiteral("–"));
    time.peer = seconds(theirs.value(0)) + QStringLiteral(" (plocate-build)");
    time.peerRows = theirs.value(5, QStringLiteral("–")) + QStringLiteral(" paths");
    time.peerFinder = fmtRatio(ratio(theirs.value(0).toDouble(), c.buildSeconds));
    c.rows.push_back(time);
    Row memory = compareRow(QStringLiteral("build"), QStringLiteral("quorvi-catalog peak resident memory"),
                            QStringLiteral("–"), c.buildPeakKiB >= 0 ? mib(c.buildPeakKiB) : QStringLiteral("–"),
                            QStringLiteral("–"), QStringLiteral("–"));
    memory.peer = theirs.size() >= 2 ? mib(theirs[1].toDouble()) + QStringLiteral(" (plocate-build)") : QStringLiteral("–");
    memory.peerFinder = fmtRatio(ratio(theirs.value(1).toDouble(), c.buildPeakKiB));
    c.rows.push_back(memory);
}

void addHookRows(Context &c)
{
    // One line a case: "CASE RETURN_MS REBUILT_S STATUS".
    QFile file(c.data + QStringLiteral("/hook.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList w = line.simplified().split(QLatin1Char(' '));
        const double returned = w.value(1).toDouble();
        if (w.value(0) == QLatin1String("first")) {
            c.hookFirstMs = returned;
        } else if (w.value(0) == QLatin1String("changed")) {
            c.hookChangedMs = returned;
        }
        const QString what = w.value(0) == QLatin1String("first")     ? QStringLiteral("no catalogue yet")
                             : w.value(0) == QLatin1String("changed") ? QStringLiteral("one list changed")
                                                                      : QStringLiteral("lists unchanged");
        const QString rebuilt = w.value(2) == QLatin1String("-")
                                    ? QStringLiteral("no build")
                                    : QStringLiteral("builder ended after %1 s").arg(w.value(2).toDouble(), 0, 'f', 1);
        c.rows.push_back(compareRow(QStringLiteral("apt update hook"), QStringLiteral("returns, ") + what,
                                    QStringLiteral("exit ") + w.value(3), fmtMs(returned), rebuilt,
                                    QStringLiteral("–")));
    }
}

void addPlocateRows(Context &c)
{
    const QString db = plocateDb(c);
    if (!QFileInfo::exists(db)) {
        return;
    }
    const QList<QPair<QString, QString>> cases{{"*ssl*", "ssl"}, {"*qt*", "qt"}, {"*.desktop", "*.desktop"}};
    for (const auto &pc : cases) {
        const QStringList args{QStringLiteral("-d"), db, QStringLiteral("-b"), QStringLiteral("-i"),
                               QStringLiteral("-c"), pc.second};
        QByteArray count;
        const Timed t = timeIt(c.reps, [&] { count = runProcess(QStringLiteral("plocate"), args).out.trimmed(); });
        const Context::Figures *f = fileFigures(c, pc.first);
        Row row = compareRow(QStringLiteral("plocate"), QStringLiteral("`%1` / `plocate -b -i -c %2`").arg(pc.first, pc.second),
                             QStringLiteral("–"), f ? fmtMs(f->finder) : QStringLiteral("–"),
                             f ? fmtMs(f->floor) : QStringLiteral("–"), f ? fmtRatio(ratio(f->finder, f->floor)) : QStringLiteral("–"));
        row.peer = cell(t, c.reps);
        row.peerRows = QString::fromLatin1(count) + QStringLiteral(" paths");
        row.peerFinder = f ? fmtRatio(ratio(t.ms, f->finder)) : QStringLiteral("–");
        c.rows.push_back(row);
        fprintf(stderr, "  plocate %s: %s ms\n", qPrintable(pc.second), qPrintable(row.peer));
    }
}

void addPackageListRow(Context &c)
{
    const LargestPackage largest = largestPackage(c.full);
    if (largest.id < 0) {
        return;
    }
    long long files = -1;
    const Timed t = timeIt(c.reps, [&] { files = readPackageFiles(c.full, uint32_t(largest.id)); });
    c.packageListMs = t.ms;
    QString rows = QString::number(files);
    if (files != largest.files) {
        rows += QStringLiteral(" (decoded %1!)").arg(largest.files);
    }
    c.rows.push_back(compareRow(QStringLiteral("package files"), QStringLiteral("largest package, ") + largest.name,
                                rows, cell(t, c.reps), QStringLiteral("–"), QStringLiteral("–")));
}
