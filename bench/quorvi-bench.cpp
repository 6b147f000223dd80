// quorvi-bench: one run times the finder's searches end to end through its real window
// against the same search without the window (SQLite's C API for package names, the
// search engine for file names), apt-cache, apt-file and plocate; start-up, peak memory,
// the catalogue's size per part, its build and apt's update hook; and prints one Markdown
// table with the targets.
// Usage: quorvi-bench [--data DIR] [--reps N] [--no-peers] [--plans]
// DIR is what bench/prepare.sh and bench/hook-time.sh fill (full/os_pkg_list.db, ...).
#include "benchreport.h"
#include "benchutil.h"
#include "childmodes.h"
#include "enginerun.h"
#include "extrarows.h"
#include "finderdriver.h"
#include "livewindow.h"
#include "mainwindow.h"
#include "searchstatement.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Debug lines of the finder (one statement per search) would flood the output.
void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && !message.contains(QLatin1String("propagateSizeHints"))) {
        fprintf(stderr, "%s\n", qPrintable(message));
    }
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
        if (line.isEmpty()) {
            continue;
        }
        ++lines;
        packages.insert(line.left(line.indexOf(':')));
    }
    return distinctPackages ? packages.size() : lines;
}

void addPlan(Context &c, const QString &kind, const QString &keyword, const QString &statement)
{
    c.planLines << QStringLiteral("%1 `%2`: %3").arg(kind, keyword, statement);
    for (const QString &line : queryPlan(c.full, statement))
        c.planLines << QStringLiteral("    ") + line;
}

// One keyword: the finder, its floor, and the peer. The floor of a package-name search is
// the finder's statement stepped with the C API; of a file-name search, the engine.
void measureSearch(Context &c, FinderDriver &driver, SearchMode mode, const QString &keyword, const Peer &peer)
{
    const bool file = mode == SearchMode::FileName;
    const QString statement = file ? QString() : SearchStatement::build(keyword);
    int finderRows = -1;
    long long floorRows = -1;
    EngineRun engine;
    const Timed finder = timeIt(c.reps, [&] { finderRows = driver.search(keyword); });
    const Timed floor = timeIt(c.reps, [&] {
        if (file) {
            floorRows = (engine = runEngine(c.full, keyword)).rows;
        } else {
            floorRows = runStatement(c.full, statement).rows;
        }
    });
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
    if (floorRows != finderRows) {
        row.rows += QStringLiteral(" (floor %1!%2)").arg(floorRows).arg(engine.error.isEmpty() ? QString() : QStringLiteral(" ") + engine.error);
    }
    row.plan = file ? engine.plan : QStringLiteral("–");
    row.finder = cell(finder, c.reps);
    row.floor = cell(floor, c.reps);
    row.over = fmtMs(finder.ms - floor.ms);
    if (finder.ms < floor.ms) {
        row.over = QStringLiteral("−") + fmtMs(floor.ms - finder.ms);
    }
    row.peer = cell(peerTime, file ? 3 : 5);
    row.peerRows = peerCount < 0 ? QStringLiteral("–") : QString::number(peerCount);
    row.finderFloor = fmtRatio(ratio(finder.ms, floor.ms));
    row.peerFinder = fmtRatio(ratio(peerTime.ms, finder.ms));
    c.rows.push_back(row);
    (file ? c.file : c.pkg).push_back({keyword, finder.ms, floor.ms, peerTime.ms, finderRows});
    if (c.plans) {
        addPlan(c, row.kind, keyword, file ? engine.statement : statement);
    }
    fprintf(stderr, "  %s %s: %s ms\n", qPrintable(row.kind), qPrintable(keyword), qPrintable(row.finder));
}

Peer aptCache(const Context &c, const QString &regex)
{
    if (!c.haveAptCache) {
        return {};
    }
    return {QStringLiteral("apt-cache"), {QStringLiteral("search"), QStringLiteral("--names-only"), regex}};
}

// apt-file searches the full paths of the Contents files of every configured suite (the
// catalogue's own sources): a substring for a literal keyword, a regular expression (-x) for star forms;
// -i because the finder's LIKE ignores ASCII case too.
Peer aptFile(const Context &c, const QString &pattern, bool regex)
{
    if (!c.haveAptFile) {
        return {};
    }
    QStringList args{QStringLiteral("-i"), QStringLiteral("search")};
    if (regex) {
        args << QStringLiteral("-x");
    }
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

// Package names against apt-cache; file names against apt-file, small results first.
bool searchRows(Context &c, FinderDriver &driver)
{
    fprintf(stderr, "package-name searches\n");
    const QList<QPair<QString, QString>> pkgCases{
        {"gcc", "^gcc$"}, {"gcc*", "^gcc"}, {"*gcc", "gcc$"}, {"*gcc*", "gcc"}, {"lib*", "^lib"}, {"*", "."}};
    for (const auto &pc : pkgCases)
        measureSearch(c, driver, SearchMode::PackageName, pc.first, aptCache(c, pc.second));

    fprintf(stderr, "file-name searches\n");
    if (!driver.chooseFileMode(true)) {
        fprintf(stderr, "quorvi-bench: cannot switch to file-name mode\n");
        return false;
    }
    struct FileCase
    {
        QString keyword, peerPattern; // no pattern: no peer (apt-file would print millions of lines)
        bool regex;
    };
    const QList<FileCase> fileCases{
        {"libc.so.6", "/libc\\.so\\.6$", true},   {"ls", "/ls$", true},
        {"*/bin/python3", "/bin/python3$", true}, {"libssl.so.3", "libssl.so.3", false},
        {"libssl*", "/libssl[^/]*$", true},       {"lib*.so.3", "/lib[^/]*\\.so\\.3$", true},
        {"*.so.3", "\\.so\\.3$", true},           {"*ssl*", "ssl[^/]*$", true},
        {"*gcc", "gcc$", true},                   {"qt", "qt", false},
        {"*qt*", "qt[^/]*$", true},               {"/usr/bin/gcc", "/usr/bin/gcc", false},
        {"*/bin/gcc", "/bin/gcc$", true},         {"/usr/share/doc/net-tools/*", "^/usr/share/doc/net-tools/", true},
        {"/usr/include/linux/*", "^/usr/include/linux/", true},
        {"*h", "h$", true},                       {"*.h", "\\.h$", true},
        {"*.c", "\\.c$", true},                   {"*.so", "\\.so$", true},
        {"*.desktop", "\\.desktop$", true},       {"*x*", "x[^/]*$", true},
        {"*.rs", "\\.rs$", true},                 {"*.gz", "\\.gz$", true},
        {"*z", "z$", true},                       {"*/lib/systemd/system/*", "/lib/systemd/system/", true},
        {"/etc/ssh/*", "^/etc/ssh/", true},       {"*y*", "", false},
        {"*_*", "", false},                       {"/usr/share/*", "", false},
        {"*-*", "", false},                       {"*", "", false},
        {"/usr/share/doc/*", "", false},          {"*a*", "", false}};
    for (const auto &fc : fileCases) {
        measureSearch(c, driver, SearchMode::FileName, fc.keyword,
                      fc.peerPattern.isEmpty() ? Peer() : aptFile(c, fc.peerPattern, fc.regex));
    }
    return true;
}

// The slowest file search once more: how long the window's thread went without serving
// a 1 ms timer, and how soon Esc leaves the empty table.
void windowRows(Context &c, MainWindow &window)
{
    fprintf(stderr, "live window\n");
    const auto slowest = std::max_element(c.file.begin(), c.file.end(),
                                          [](const auto &a, const auto &b) { return a.finder < b.finder; });
    c.slowestKeyword = slowest->keyword;
    const double slowestMs = slowest->finder;
    const LiveFigures live = measureLiveSearch(window, c.slowestKeyword);
    Row gap = compareRow("window", "longest timer gap, file `" + c.slowestKeyword + "`", QString::number(live.rows),
                         fmtMs(live.longestGapMs) + " gap", fmtMs(live.searchMs) + " (search)", "–");
    gap.peerRows = QString::number(live.ticks) + " ticks";
    c.rows.push_back(gap);
    c.longestGap = live.longestGapMs;
    std::vector<double> stops;
    for (int i = 0; i < c.reps; ++i)
        stops.push_back(measureStop(window, c.slowestKeyword, 0.5 * slowestMs));
    std::sort(stops.begin(), stops.end());
    c.stopMs = stops[stops.size() / 2];
    c.rows.push_back(compareRow("window", "Esc halfway into file `" + c.slowestKeyword + "`, until the empty table",
                                "0", fmtMs(c.stopMs), "–", "–"));
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Fresh processes: the finder against a bare window, alternated so that drift hits all alike.
void startupRows(Context &c, const QString &self, const QString &dir)
{
    fprintf(stderr, "start-up\n");
    const QStringList modes{"finder", "bare", "bare+db", "bare+text"};
    std::vector<double> times[4];
    for (const QString &mode : modes) // warm-up
        startupRun(self, mode, dir);
    for (int i = 0; i < 2 * c.reps + 1; ++i) {
        for (int m = 0; m < modes.size(); ++m)
            times[m].push_back(startupRun(self, modes[m], dir));
    }
    c.startFinder = median(times[0]);
    c.startBare = median(times[1]);
    const double bareDb = median(times[2]), bareText = median(times[3]);
    const QString bare = fmtMs(c.startBare) + " (bare)";
    c.rows.push_back(compareRow("start-up", "window idle", "–", fmtMs(c.startFinder), bare,
                                fmtRatio(ratio(c.startFinder, c.startBare))));
    c.rows.push_back(compareRow("start-up", "bare + catalogue open", "–", fmtMs(bareDb), bare,
                                fmtRatio(ratio(bareDb, c.startBare))));
    c.rows.push_back(compareRow("start-up", "bare + one label", "–", fmtMs(bareText), bare,
                                fmtRatio(ratio(bareText, c.startBare))));
    c.rows.push_back(compareRow("start-up", "finder vs bare + one label", "–", fmtMs(c.startFinder),
                                fmtMs(bareText) + " (bare + label)", fmtRatio(ratio(c.startFinder, bareText))));
}

void memoryRows(Context &c, const QString &self, const QString &dir)
{
    fprintf(stderr, "memory\n");
    const QList<QByteArray> mem = runProcess(self, {"--child-memory"}, dir, 600000).out.trimmed().split(' ');
    const QList<QByteArray> bare = runProcess(self, {"--child-startup", "bare"}, dir).out.trimmed().split(' ');
    const double bareKiB = bare.value(2).toDouble();
    const QString ref = mib(bareKiB) + " (bare)";
    const QStringList what{"shown", "package `*`", "then file `*.so*`"};
    const QString rows[3] = {"–", QString(mem.value(2)), QString(mem.value(4))};
    for (int i = 0; i < 3; ++i) {
        const double kib = mem.value(1 + 2 * i).toDouble();
        c.rows.push_back(compareRow("peak memory", what[i], rows[i], mib(kib), ref, fmtRatio(ratio(kib, bareKiB))));
    }
}

void printNotes(const Context &c, const QString &loadStart)
{
    out << "\nLoad average (1, 5, 15 min) at start: " << loadStart << "; at end: " << loadAverage()
        << " (2 cores; other work on the machine shows up as noise).\n";
    out << "\nMedian of " << c.reps << " runs after a warm-up (" << 3 * c.reps
        << " for calls under 20 ms); \"(n=3)\" marks slow cells timed 3 times; apt-cache 5 runs, apt-file 3 runs. "
        << "finder = typed into the real window (offscreen), clicked, until every row is in the view's model and "
        << "events are processed. floor = the same search without the window, in this process: for package names "
        << "the finder's statement stepped with SQLite's C API (open, prepare, step, read every column's text); for "
        << "file names the search engine on a connection of its own (open, FileSearch::packages(), firstPath() of "
        << "the first 64 rows, close); plan = the engine's plan. "
        << QString::fromUtf8("finder−floor = what the window adds. ")
        << "peer = apt-cache search --names-only REGEX (rows = output lines, one per package name) / apt-file -i "
        << "search (substrings or -x regexes of FULL paths; rows = distinct packages), both over every configured "
        << "suite; plocate = plocate -d DB -b -i -c (base names, ASCII case ignored; rows = paths, counted by "
        << "plocate; one process per run) on a database of the same Contents paths. Catalogue parts: dbstat, pages "
        << "of each table and index. Build: /usr/bin/time of bench/prepare.sh's build (seconds, peak resident "
        << "memory), with the load average at its start. apt update hook: bench/hook-time.sh, the hook's command "
        << "as apt runs it (sh -c), start to return; the rebuild it leaves running is not waited for (its end is "
        << "given beside). Start-up: fresh process of this binary, from spawn until the shown window is idle, "
        << "finder vs a bare QMainWindow holding a QTableView (" << 2 * c.reps + 1 << " each, alternated); "
        << "\"bare + catalogue open\" opens and probes the catalogue through QSQLITE first, as the finder does; "
        << "\"bare + one label\" adds a QLabel with Chinese text (the bare window draws no glyph, so it loads no "
        << "font). Peak memory: VmHWM of a fresh process.\n";
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int childStart = args.indexOf(QStringLiteral("--child-startup"));
    if (childStart > 0) {
        childStartup(args.value(childStart + 1));
    }
    if (args.contains(QStringLiteral("--child-memory"))) {
        childMemory();
    }
    const int loop = args.indexOf(QStringLiteral("--loop-search"));
    if (loop > 0) { // for perf/callgrind: N searches of one keyword in the catalogue of the current directory
        return loopSearch(args.value(loop + 1), args.value(loop + 2).toInt(), args.contains(QStringLiteral("--file")));
    }

    out.setCodec("UTF-8");
    Context c;
    QString data = QStringLiteral("build/bench-data");
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--data")) {
            data = args.value(++i);
        } else if (args[i] == QLatin1String("--reps")) {
            c.reps = qMax(1, args.value(++i).toInt());
        } else if (args[i] == QLatin1String("--no-peers")) {
            c.peers = false;
        } else if (args[i] == QLatin1String("--plans")) {
            c.plans = true;
        }
    }
    c.data = QFileInfo(data).absoluteFilePath();
    const QString fullDir = c.data + QStringLiteral("/full");
    c.full = fullDir + QStringLiteral("/os_pkg_list.db");
    if (!QFileInfo::exists(c.full)) {
        fprintf(stderr, "quorvi-bench: no catalogue under %s (run bench/prepare.sh)\n", qPrintable(data));
        return 1;
    }
    c.haveAptCache = !QStandardPaths::findExecutable(QStringLiteral("apt-cache")).isEmpty();
    c.haveAptFile = !QStandardPaths::findExecutable(QStringLiteral("apt-file")).isEmpty();
    const QString self = QCoreApplication::applicationFilePath();
    const QString loadStart = loadAverage();

    QDir::setCurrent(fullDir); // the finder opens os_pkg_list.db in the current directory
    {
        MainWindow window;
        if (!showAndSettle(&window)) {
            fprintf(stderr, "quorvi-bench: the window was never exposed\n");
            return 1;
        }
        FinderDriver driver(window);
        if (!searchRows(c, driver)) {
            return 1;
        }
        windowRows(c, window);
    }
    addPlocateRows(c); // also with --no-peers: it takes a second
    addPackageListRow(c);
    startupRows(c, self, fullDir);
    memoryRows(c, self, fullDir);
    addSizeRows(c);
    addBuildRows(c);
    addHookRows(c);

    printTable(c);
    printNotes(c, loadStart);
    printTargets(c);
    if (c.plans) {
        out << "\nQuery plans:\n\n```\n" << c.planLines.join(QLatin1Char('\n')) << "\n```\n";
    }
    out.flush();
    return 0;
}
