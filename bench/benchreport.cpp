#include "benchreport.h"
#include "benchutil.h"

#include <cstdio>

QTextStream out(stdout);

namespace {

QString verdict(bool pass)
{
    return pass ? QStringLiteral("**pass**") : QStringLiteral("**MISS**");
}

// "- what: 12.3 ms (<= 50 ms) pass" for a figure of the run, "n/a" when it is missing.
void target(const QString &what, double figure, const QString &unit, double limit, const QString &extra = {})
{
    out << "- " << what << ": " << (figure >= 0 ? fmtMs(figure) + QLatin1Char(' ') + unit : QStringLiteral("–"))
        << " (<= " << limit << ' ' << unit << ") " << (figure >= 0 ? verdict(figure <= limit) : QStringLiteral("n/a"))
        << extra << "\n";
}

// The finder's time for these keywords in the README's table of the catalogue with one
// row a file (format 1), measured in one quiet run: none may get slower by more than 20 %.
struct Before
{
    const char *keyword;
    double ms;
};
const Before before[] = {{"libssl.so.3", 3.82}, {"*.desktop", 22.7}, {"*ssl*", 31.0}, {"*/bin/gcc", 3.91}};

// The targets of the file search on the catalogue with the names' endings (format 4).
void endingTargets(const Context &c)
{
    const Context::Figures *slowest = nullptr;
    for (const auto &f : c.file)
        slowest = !slowest || f.finder > slowest->finder ? &f : slowest;
    if (slowest) {
        target(QStringLiteral("any file-name keyword: the slowest of the run, `%1`").arg(slowest->keyword),
               slowest->finder, QStringLiteral("ms"), 100,
               QStringLiteral("; stretch (<= 60 ms) ") + verdict(slowest->finder <= 60));
    }
    // A literal of three or more characters, or one of two or more at the end: 30 ms, or
    // 60 ms where it finds over 10,000 packages.
    for (const char *k : {"*.h", "*.rs", "*.desktop", "*/lib/systemd/system/*", "*.gz", "/usr/share/*", "*.c",
                          "*.so", "*.so.3", "*ssl*", "*gcc", "lib*.so.3", "/usr/include/linux/*"}) {
        const auto *f = fileFigures(c, QString::fromLatin1(k));
        const bool many = f && f->rows > 10000;
        target(QStringLiteral("literal keyword `%1`%2").arg(k, many ? QStringLiteral(" (over 10,000 packages)") : QString()),
               f ? f->finder : -1, QStringLiteral("ms"), many ? 60 : 30);
    }
    for (const char *k : {"libc.so.6", "ls", "*/bin/python3", "/usr/share/doc/net-tools/*", "/etc/ssh/*"}) {
        const auto *f = fileFigures(c, QString::fromLatin1(k));
        target(QStringLiteral("up to 100 packages `%1`").arg(k), f ? f->finder : -1, QStringLiteral("ms"), 5);
    }
}

void fileTargets(const Context &c)
{
    for (const char *k : {"libssl.so.3", "*.desktop", "*ssl*", "lib*.so.3", "*/bin/gcc"}) {
        const auto *f = fileFigures(c, QString::fromLatin1(k));
        QString extra;
        for (const Before &b : before) {
            if (f && qstrcmp(b.keyword, k) == 0) {
                extra = QStringLiteral("; before %1 ms, %2 of it (<= 1.2x) %3")
                            .arg(fmtMs(b.ms), fmtRatio(f->finder / b.ms), verdict(f->finder <= 1.2 * b.ms));
            }
        }
        target(QStringLiteral("file `%1`").arg(k), f ? f->finder : -1, QStringLiteral("ms"), 50, extra);
    }
    for (const char *k : {"/usr/share/doc/net-tools/*", "/usr/include/linux/*"}) {
        const auto *f = fileFigures(c, QString::fromLatin1(k));
        target(QStringLiteral("path with a literal folder `%1`").arg(k), f ? f->finder : -1, QStringLiteral("ms"), 20);
    }
    for (const char *k : {"*", "*a*", "*x*", "*qt*", "*-*", "*h", "/usr/share/doc/*"}) {
        const auto *f = fileFigures(c, QString::fromLatin1(k));
        target(QStringLiteral("file `%1`").arg(k), f ? f->finder : -1, QStringLiteral("ms"), 150);
    }
    const Context::Figures *slowest = nullptr;
    for (const auto &f : c.file)
        slowest = !slowest || f.finder > slowest->finder ? &f : slowest;
    if (slowest) {
        target(QStringLiteral("slowest file-name keyword of the run, `%1`").arg(slowest->keyword), slowest->finder,
               QStringLiteral("ms"), 150);
    }
    for (const char *k : {"libc.so.6", "ls", "*/bin/python3"}) {
        const auto *f = fileFigures(c, QString::fromLatin1(k));
        target(QStringLiteral("small result `%1`: finder over the engine alone").arg(k),
               f && f->finder >= 0 && f->floor >= 0 ? f->finder - f->floor : -1, QStringLiteral("ms"), 3);
    }
}

} // namespace

Row compareRow(const QString &kind, const QString &what, const QString &rows, const QString &figure,
               const QString &reference, const QString &ratio)
{
    const QString none = QStringLiteral("–");
    return {kind, what, rows, none, figure, reference, none, none, none, ratio, none};
}

const Context::Figures *fileFigures(const Context &c, const QString &keyword)
{
    for (const auto &f : c.file) {
        if (f.keyword == keyword) {
            return &f;
        }
    }
    return nullptr;
}

void printTable(const Context &c)
{
    out << QString::fromUtf8("| case | keyword | rows | plan | finder ms | floor ms | finder−floor ms | peer ms "
                             "| peer rows | finder÷floor | peer÷finder |\n")
        << "|---|---|---:|---|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const Row &r : c.rows) {
        out << "| " << r.kind << " | " << r.keyword << " | " << r.rows << " | " << r.plan << " | " << r.finder
            << " | " << r.floor << " | " << r.over << " | " << r.peer << " | " << r.peerRows << " | "
            << r.finderFloor << " | " << r.peerFinder << " |\n";
    }
}

void printTargets(const Context &c)
{
    out << "\nTargets (MB = 10^6 bytes):\n\n";
    endingTargets(c);
    target(QStringLiteral("build time"), c.buildSeconds, QStringLiteral("s"), 15);
    target(QStringLiteral("builder peak resident memory"), c.buildPeakKiB >= 0 ? c.buildPeakKiB * 1024 / 1e6 : -1,
           QStringLiteral("MB"), 250);
    target(QStringLiteral("file list of the largest package"), c.packageListMs, QStringLiteral("ms"), 30);
    const double mb = c.sizeFull / 1e6;
    out << "- catalogue size: " << QString::number(mb, 'f', 1) << " MB (<= 135 MB) " << verdict(mb <= 135) << "\n";

    out << "\nEarlier targets:\n\n";
    out << "- catalogue size (<= 160 MB) " << verdict(mb <= 160) << "\n";
    target(QStringLiteral("`apt update` hook returns after (one list changed)"), c.hookChangedMs,
           QStringLiteral("ms"), 1000);
    target(QStringLiteral("`apt update` hook returns after (no catalogue yet)"), c.hookFirstMs,
           QStringLiteral("ms"), 1000);
    fileTargets(c);
    for (const auto &f : c.pkg) {
        const double vsFloor = ratio(f.finder, f.floor), vsPeer = ratio(f.peer, f.finder);
        out << "- package `" << f.keyword << "`: " << fmtRatio(vsFloor) << " its floor (<= 2x) "
            << verdict(vsFloor <= 2) << "; " << fmtRatio(vsPeer) << " faster than apt-cache (>= 5x) "
            << (f.peer > 0 ? verdict(vsPeer >= 5) : QStringLiteral("n/a")) << "\n";
    }
    const double start = ratio(c.startFinder, c.startBare);
    out << "- start-up: " << fmtRatio(start) << " the bare window (<= 1.5x) " << verdict(start > 0 && start <= 1.5)
        << "\n";
    for (const char *k : {"*h", "*.h", "*.c", "*.so", "*.desktop", "*.so.3"}) {
        const auto *f = fileFigures(c, QString::fromLatin1(k));
        target(QStringLiteral("suffix `%1`").arg(k), f ? f->finder : -1, QStringLiteral("ms"), 50);
    }
    target(QStringLiteral("longest gap between 1 ms timer ticks during `%1`").arg(c.slowestKeyword), c.longestGap,
           QStringLiteral("ms"), 100);
    target(QStringLiteral("Esc to the empty table"), c.stopMs, QStringLiteral("ms"), 100);
}
