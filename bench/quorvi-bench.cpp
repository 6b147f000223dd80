// quorvi-bench: one run times the finder's searches end to end through its real window,
// SQLite's C API on the same statements, the plain LIKE statements, apt-cache and
// apt-file, start-up and peak memory, and prints one Markdown table with the targets.
// Usage: quorvi-bench [--data DIR] [--reps N] [--no-peers] [--plans] [--variant DIR]...
// DIR holds full/os_pkg_list.db and plain/os_pkg_list.db (bench/prepare.sh makes them).
#include "benchreport.h"
#include "benchutil.h"
#include "childmodes.h"
#include "finderdriver.h"
#include "livewindow.h"
#include "mainwindow.h"
#include "searchstatement.h"

#include <catalogueschema.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QSet>
#include <QStandardPaths>
#include <QTableView>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Debug lines of the finder (one statement per search) would flood the output.
void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && !message.contains(QLatin1String("propagateSizeHints")))
        fprintf(stderr, "%s\n", qPrintable(message));
}

struct Peer
{
    QString program;
    QStringList args;
};

// Rows of a peer: output lines for apt-cache, distinct packages ("pkg: path") for apt-file.
int peerRows(const QByteArray &output, bool distinctPackages)
{
    QSet<QByteArray> packages;
    int lines = 0;
    for (const QByteArray &line : output.split('\n')) {
        if (line.isEmpty())
            continue;
        ++lines;
        packages.insert(line.left(line.indexOf(':')));
    }
    return distinctPackages ? packages.size() : lines;
}

void measureSearch(Context &c, FinderDriver &driver, SearchMode mode, const QString &keyword, const Peer &peer)
{
    CatalogueFeatures features;
    features.fileLists = true;
    const QString plainStatement = SearchStatement::build(keyword, mode, features);
    features.nameTrigrams = features.dirTrigrams = features.nameSuffixes = true;
    const QString statement = mode == SearchMode::PackageName ? plainStatement
                                                              : SearchStatement::build(keyword, mode, features);
    const bool file = mode == SearchMode::FileName;
    int finderRows = -1;
    long long floorRows = -1, plainRows = -1;
    const Timed finder = timeIt(c.reps, [&] { finderRows = driver.search(keyword); });
    const Timed floor = timeIt(c.reps, [&] { floorRows = runStatement(c.full, statement).rows; });
    Timed plain;
    if (file)
        plain = timeIt(c.reps, [&] { plainRows = runStatement(c.plain, plainStatement).rows; });
    Timed peerTime;
    int peerCount = -1;
    if (c.peers && !peer.program.isEmpty()) {
        peerTime = timeIt(file ? 3 : 5, [&] {
            peerCount = peerRows(runProcess(peer.program, peer.args).out, file);
        });
    }
    Row row;
    row.kind = file ? QStringLiteral("file") : QStringLiteral("package");
    row.keyword = QLatin1Char('`') + keyword + QLatin1Char('`');
    row.rows = QString::number(finderRows);
    if (floorRows != finderRows || (file && plainRows != finderRows))
        row.rows += QStringLiteral(" (C API %1, plain %2!)").arg(floorRows).arg(plainRows);
    row.finder = cell(finder, c.reps);
    row.floor = cell(floor, c.reps);
    row.plain = file ? cell(plain, c.reps) : QStringLiteral("= floor");
    row.peer = cell(peerTime, file ? 3 : 5);
    row.peerRows = peerCount < 0 ? QStringLiteral("–") : QString::number(peerCount);
    row.finderFloor = fmtRatio(ratio(finder.ms, floor.ms));
    row.plainFinder = file ? fmtRatio(ratio(plain.ms, finder.ms)) : QStringLiteral("–");
    row.peerFinder = fmtRatio(ratio(peerTime.ms, finder.ms));
    c.rows.push_back(row);
    const bool trigram = statement.contains(QLatin1String("_fts")) || statement.contains(QLatin1String(QV_SUFFIX_TABLE));
    (file ? c.file : c.pkg).push_back({keyword, finder.ms, floor.ms, plain.ms, peerTime.ms, trigram});
    if (c.plans) {
        c.planLines << QStringLiteral("%1 `%2`: %3").arg(row.kind, keyword, statement);
        for (const QString &line : queryPlan(c.full, statement))
            c.planLines << QStringLiteral("    ") + line;
    }
    fprintf(stderr, "  %s %s: %s ms\n", qPrintable(row.kind), qPrintable(keyword), qPrintable(row.finder));
}

Peer aptCache(const Context &c, const QString &regex)
{
    if (!c.haveAptCache)
        return {};
    return {QStringLiteral("apt-cache"), {QStringLiteral("search"), QStringLiteral("--names-only"), regex}};
}

// apt-file searches the full paths of bookworm's Contents files (the catalogue's own
// sources): a substring for a literal keyword, a regular expression (-x) for star forms;
// -i because the finder's LIKE ignores ASCII case too.
Peer aptFile(const Context &c, const QString &pattern, bool regex)
{
    if (!c.haveAptFile)
        return {};
    QStringList args{QStringLiteral("--filter-suites"), QStringLiteral("bookworm"), QStringLiteral("-i"),
                     QStringLiteral("search")};
    if (regex)
        args << QStringLiteral("-x");
    args << QStringLiteral("--") << pattern;
    return {QStringLiteral("apt-file"), args};
}

// Start-up: a fresh process of this binary per run, reporting when its window is idle.
double startupRun(const QString &self, const QString &mode, const QString &workDir)
{
    const double start = nowMs();
    const ProcRun run = runProcess(self, {QStringLiteral("--child-startup"), mode}, workDir, 60000);
    const QList<QByteArray> words = run.out.trimmed().split(' ');
    return run.ok && words.value(0) == "IDLE" ? words.value(1).toDouble() - start : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int childStart = args.indexOf(QStringLiteral("--child-startup"));
    if (childStart > 0)
        childStartup(args.value(childStart + 1));
    if (args.contains(QStringLiteral("--child-memory")))
        childMemory();
    const int loop = args.indexOf(QStringLiteral("--loop-search"));
    if (loop > 0) // for perf/callgrind: N searches of one keyword in the catalogue of the current directory
        return loopSearch(args.value(loop + 1), args.value(loop + 2).toInt(), args.contains(QStringLiteral("--file")));

    out.setCodec("UTF-8");
    Context c;
    QStringList variantDirs;
    QString data = QStringLiteral("build/bench-data");
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--data"))
            data = args.value(++i);
        else if (args[i] == QLatin1String("--reps"))
            c.reps = qMax(1, args.value(++i).toInt());
        else if (args[i] == QLatin1String("--no-peers"))
            c.peers = false;
        else if (args[i] == QLatin1String("--plans"))
            c.plans = true;
        else if (args[i] == QLatin1String("--variant"))
            variantDirs << args.value(++i);
    }
    const QString fullDir = QFileInfo(data + QStringLiteral("/full")).absoluteFilePath();
    c.full = fullDir + QStringLiteral("/os_pkg_list.db");
    c.plain = QFileInfo(data + QStringLiteral("/plain/os_pkg_list.db")).absoluteFilePath();
    if (!QFileInfo::exists(c.full) || !QFileInfo::exists(c.plain)) {
        fprintf(stderr, "quorvi-bench: no catalogues under %s (run bench/prepare.sh)\n", qPrintable(data));
        return 1;
    }
    c.haveAptCache = !QStandardPaths::findExecutable(QStringLiteral("apt-cache")).isEmpty();
    c.haveAptFile = !QStandardPaths::findExecutable(QStringLiteral("apt-file")).isEmpty();
    const QString self = QCoreApplication::applicationFilePath();
    const QString loadStart = loadAverage();

    // The finder opens os_pkg_list.db in the current directory.
    QDir::setCurrent(fullDir);
    {
        MainWindow window;
        if (!showAndSettle(&window)) {
            fprintf(stderr, "quorvi-bench: the window was never exposed\n");
            return 1;
        }
        FinderDriver driver(window);
        fprintf(stderr, "package-name searches\n");
        const QList<QPair<QString, QString>> pkgCases{
            {"gcc", "^gcc$"}, {"gcc*", "^gcc"}, {"*gcc", "gcc$"},
            {"*gcc*", "gcc"}, {"lib*", "^lib"}, {"*", "."}};
        for (const auto &pc : pkgCases)
            measureSearch(c, driver, SearchMode::PackageName, pc.first, aptCache(c, pc.second));

        fprintf(stderr, "file-name searches\n");
        if (!driver.chooseFileMode(true)) {
            fprintf(stderr, "quorvi-bench: cannot switch to file-name mode\n");
            return 1;
        }
        struct FileCase
        {
            QString keyword, peerPattern;
            bool regex;
        };
        const QList<FileCase> fileCases{
            {"libssl.so.3", "libssl.so.3", false}, {"libssl*", "/libssl[^/]*$", true},
            {"*.so.3", "\\.so\\.3$", true},        {"*ssl*", "ssl[^/]*$", true},
            {"*gcc", "gcc$", true},                {"qt", "qt", false},
            {"*qt*", "qt[^/]*$", true},            {"/usr/bin/gcc", "/usr/bin/gcc", false},
            {"*/bin/gcc", "/bin/gcc$", true},
            // Suffixes of one to nine characters (the suffix table) and short substrings.
            {"*h", "h$", true},                    {"*.h", "\\.h$", true},
            {"*.c", "\\.c$", true},                {"*.so", "\\.so$", true},
            {"*.desktop", "\\.desktop$", true},    {"*x*", "x[^/]*$", true},
            // Keywords that match nearly every package (no peer: apt-file would print
            // millions of lines).
            {"*", "", false},                      {"/usr/share/doc/*", "", false},
            {"*a*", "", false}};
        for (const auto &fc : fileCases) {
            measureSearch(c, driver, SearchMode::FileName, fc.keyword,
                          fc.peerPattern.isEmpty() ? Peer() : aptFile(c, fc.peerPattern, fc.regex));
        }

        // The slowest file search, once more: how long the window's thread went without
        // serving a 1 ms timer, and how soon Esc leaves the empty table.
        fprintf(stderr, "live window\n");
        const auto slowest = std::max_element(c.file.begin(), c.file.end(), [](const auto &a, const auto &b) {
            return a.finder < b.finder;
        });
        c.slowestKeyword = slowest->keyword;
        const LiveFigures live = measureLiveSearch(window, c.slowestKeyword);
        c.rows.push_back({"window", "longest timer gap, file `" + c.slowestKeyword + "`", QString::number(live.rows),
                          fmtMs(live.longestGapMs) + " gap", fmtMs(live.searchMs) + " (search)", "–", "–", "–",
                          QString::number(live.ticks) + " ticks", "–", "–"});
        c.longestGap = live.longestGapMs;
        std::vector<double> stops;
        for (int i = 0; i < c.reps; ++i)
            stops.push_back(measureStop(window, c.slowestKeyword, 0.5 * slowest->finder));
        std::sort(stops.begin(), stops.end());
        c.stopMs = stops[stops.size() / 2];
        c.rows.push_back({"window", "Esc halfway into file `" + c.slowestKeyword + "`, until the empty table", "0", fmtMs(c.stopMs),
                          "–", "–", "–", "–", "–", "–", "–"});
    }

    fprintf(stderr, "start-up\n");
    std::vector<double> finderTimes, bareTimes, bareDbTimes, bareTextTimes;
    startupRun(self, QStringLiteral("finder"), fullDir); // warm-up
    startupRun(self, QStringLiteral("bare"), fullDir);
    startupRun(self, QStringLiteral("bare+db"), fullDir);
    startupRun(self, QStringLiteral("bare+text"), fullDir);
    for (int i = 0; i < 2 * c.reps + 1; ++i) { // alternated, so that drift hits all alike
        finderTimes.push_back(startupRun(self, QStringLiteral("finder"), fullDir));
        bareTimes.push_back(startupRun(self, QStringLiteral("bare"), fullDir));
        bareDbTimes.push_back(startupRun(self, QStringLiteral("bare+db"), fullDir));
        bareTextTimes.push_back(startupRun(self, QStringLiteral("bare+text"), fullDir));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    c.startFinder = median(finderTimes);
    c.startBare = median(bareTimes);
    c.rows.push_back({"start-up", "window idle", "–", fmtMs(c.startFinder), fmtMs(c.startBare) + " (bare)", "–",
                      "–", "–", fmtRatio(ratio(c.startFinder, c.startBare)), "–", "–"});
    const double bareDb = median(bareDbTimes);
    c.rows.push_back({"start-up", "bare + catalogue open", "–", fmtMs(bareDb), fmtMs(c.startBare) + " (bare)", "–",
                      "–", "–", fmtRatio(ratio(bareDb, c.startBare)), "–", "–"});
    const double bareText = median(bareTextTimes);
    c.rows.push_back({"start-up", "bare + one label", "–", fmtMs(bareText), fmtMs(c.startBare) + " (bare)", "–", "–",
                      "–", fmtRatio(ratio(bareText, c.startBare)), "–", "–"});
    c.rows.push_back({"start-up", "finder vs bare + one label", "–", fmtMs(c.startFinder),
                      fmtMs(bareText) + " (bare + label)", "–", "–", "–", fmtRatio(ratio(c.startFinder, bareText)), "–",
                      "–"});

    fprintf(stderr, "memory\n");
    const QList<QByteArray> mem =
        runProcess(self, {QStringLiteral("--child-memory")}, fullDir, 600000).out.trimmed().split(' ');
    const QList<QByteArray> bare =
        runProcess(self, {QStringLiteral("--child-startup"), QStringLiteral("bare")}, fullDir).out.trimmed().split(' ');
    const double bareKiB = bare.value(2).toDouble();
    c.rows.push_back({"peak memory", "shown", "–", mib(mem.value(1).toDouble()), mib(bareKiB) + " (bare)", "–", "–",
                      "–", fmtRatio(ratio(mem.value(1).toDouble(), bareKiB)), "–", "–"});
    c.rows.push_back({"peak memory", "package `*`", QString(mem.value(2)), mib(mem.value(3).toDouble()),
                      mib(bareKiB) + " (bare)", "–", "–", "–", fmtRatio(ratio(mem.value(3).toDouble(), bareKiB)), "–",
                      "–"});
    c.rows.push_back({"peak memory", "then file `*.so*`", QString(mem.value(4)), mib(mem.value(5).toDouble()),
                      mib(bareKiB) + " (bare)", "–", "–", "–", fmtRatio(ratio(mem.value(5).toDouble(), bareKiB)),
                      "–", "–"});

    c.sizeFull = QFileInfo(c.full).size();
    c.sizePlain = QFileInfo(c.plain).size();
    c.rows.push_back({"catalogue size", "with / without trigram, suffix and package indexes", "–", mib(c.sizeFull / 1024),
                      mib(c.sizePlain / 1024) + " (neither)", "–", "–", "–", fmtRatio(c.sizeFull / c.sizePlain), "–",
                      "–"});
    c.sizeSuffix = tableBytes(c.full, QStringLiteral(QV_SUFFIX_TABLE));
    c.rows.push_back({"catalogue size", "suffix table", "–", mib(c.sizeSuffix / 1024),
                      mib((c.sizeFull - c.sizeSuffix) / 1024) + " (rest)", "–", "–", "–",
                      QString::number(c.sizeSuffix / (c.sizeFull - c.sizeSuffix) * 100, 'f', 1) + " %", "–", "–"});
    c.sizePackageSuffix = tableBytes(c.full, QStringLiteral(QV_PKG_SUFFIX_TABLE));
    c.rows.push_back({"catalogue size", "package suffix table", "–", mib(c.sizePackageSuffix / 1024),
                      mib((c.sizeFull - c.sizePackageSuffix) / 1024) + " (rest)", "–", "–", "–",
                      QString::number(c.sizePackageSuffix / (c.sizeFull - c.sizePackageSuffix) * 100, 'f', 1) + " %",
                      "–", "–"});
    c.sizePackageIndex = tableBytes(c.full, QStringLiteral(QV_LINK_PKG_INDEX));
    c.rows.push_back({"catalogue size", "package index", "–", mib(c.sizePackageIndex / 1024),
                      mib((c.sizeFull - c.sizePackageIndex) / 1024) + " (rest)", "–", "–", "–",
                      QString::number(c.sizePackageIndex / (c.sizeFull - c.sizePackageIndex) * 100, 'f', 1) + " %",
                      "–", "–"});

    printTable(c);
    out << "\nLoad average (1, 5, 15 min) at start: " << loadStart << "; at end: " << loadAverage()
        << " (2 cores; other work on the machine shows up as noise).\n";
    out << "\nMedian of " << c.reps << " runs after a warm-up (" << 3 * c.reps
        << " for calls under 20 ms); \"(n=3)\" marks slow cells timed 3 times; "
        << "apt-cache 5 runs, apt-file 3 runs. finder = typed into the real window (offscreen), "
        << "clicked, until every row is in the view's model and events are processed. floor = the finder's "
        << "own statement stepped with SQLite's C API (open, prepare, step, read every column's text); for file "
        << "searches the grouped statement that every catalogue can run, which the finder replaces with the "
        << "package rows first (and the paths of the rows in view) where a sample shows many packages matching. "
        << "plain LIKE = the file statement without trigram indexes, on the copy without fts tables. "
        << "peer = apt-cache search --names-only REGEX (all configured suites: bookworm, -updates, "
        << "-security; rows = output lines, one per package name) / apt-file --filter-suites bookworm "
        << "-i search (matches substrings or -x regexes of FULL paths, not base names; rows = distinct "
        << "packages). Start-up: fresh process of this binary, from spawn until the shown window is "
        << "idle, finder vs a bare QMainWindow holding a QTableView (" << 2 * c.reps + 1 << " each, alternated); "
        << "\"bare + catalogue open\" opens and probes the catalogue through QSQLITE first, as the finder does; "
        << "\"bare + one label\" adds a QLabel with Chinese text (the bare window draws no glyph, so it "
        << "loads no font). "
        << "Peak memory: VmHWM of a fresh process.\n";
    printTargets(c);
    QStringList fileKeywords;
    for (const auto &f : c.file)
        fileKeywords << f.keyword;
    measureVariants(c, variantDirs, fileKeywords);
    if (c.plans) {
        out << "\nQuery plans (full catalogue):\n\n```\n" << c.planLines.join(QLatin1Char('\n')) << "\n```\n";
    }
    out.flush();
    return 0;
}
