#include "benchreport.h"
#include "benchutil.h"
#include "searchstatement.h"

#include <catalogueschema.h>

#include <QFileInfo>

#include <cstdio>

QTextStream out(stdout);

namespace {

QString verdict(bool pass)
{
    return pass ? QStringLiteral("**pass**") : QStringLiteral("**MISS**");
}

} // namespace

void printTable(const Context &c)
{
    out << QString::fromUtf8("| case | keyword | rows | finder ms | floor ms | plain LIKE ms | peer ms | peer rows "
                             "| finder÷floor | plain÷finder | peer÷finder |\n")
        << "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const Row &r : c.rows) {
        out << "| " << r.kind << " | " << r.keyword << " | " << r.rows << " | " << r.finder << " | " << r.floor
            << " | " << r.plain << " | " << r.peer << " | " << r.peerRows << " | " << r.finderFloor << " | "
            << r.plainFinder << " | " << r.peerFinder << " |\n";
    }
}

void printTargets(const Context &c)
{
    out << "\nTargets:\n\n";
    for (const auto &f : c.file) {
        QString literal = SearchStatement::likePattern(f.keyword);
        literal.remove(QLatin1Char('%')).remove(QLatin1Char('_'));
        if (literal.size() < 3)
            continue;
        const double vsPeer = ratio(f.peer, f.finder), vsPlain = ratio(f.plain, f.finder);
        out << "- file `" << f.keyword << "`: " << fmtRatio(vsPeer) << " faster than apt-file (>= 20x) "
            << (f.peer > 0 ? verdict(vsPeer >= 20) : QStringLiteral("n/a")) << "; ";
        if (f.trigram)
            out << fmtRatio(vsPlain) << " faster than plain LIKE (>= 10x) " << verdict(vsPlain >= 10)
                << " (trigram or suffix index)\n";
        else
            out << fmtRatio(vsPlain) << " faster than plain LIKE (no trigram or suffix index; plain "
                << fmtMs(f.plain) << " ms)\n";
    }
    // Substrings whose literal text is too short for a trigram: the finder end to end
    // against the plain statement alone.
    for (const auto &f : c.file) {
        const QString literal = f.keyword.mid(1, f.keyword.size() - 2);
        if (f.keyword.size() < 3 || !f.keyword.startsWith(QLatin1Char('*')) || !f.keyword.endsWith(QLatin1Char('*'))
            || literal.size() >= 3 || literal.contains(QLatin1Char('*')))
            continue;
        out << "- file `" << f.keyword << "` (substring of 1-2 characters): " << fmtMs(f.finder)
            << " ms end to end vs the plain statement " << fmtMs(f.plain) << " ms (no slower, 10% noise allowed) "
            << verdict(f.finder <= f.plain * 1.1) << "\n";
    }
    for (const auto &f : c.pkg) {
        const double vsFloor = ratio(f.finder, f.floor), vsPeer = ratio(f.peer, f.finder);
        out << "- package `" << f.keyword << "`: " << fmtRatio(vsFloor) << " its floor (<= 2x) "
            << verdict(vsFloor <= 2) << "; " << fmtRatio(vsPeer) << " faster than apt-cache (>= 5x) "
            << (f.peer > 0 ? verdict(vsPeer >= 5) : QStringLiteral("n/a")) << "\n";
    }
    const double start = ratio(c.startFinder, c.startBare);
    out << "- start-up: " << fmtRatio(start) << " the bare window (<= 1.5x) " << verdict(start > 0 && start <= 1.5)
        << "\n";
    const double growth = (c.sizeFull - c.sizePlain) / c.sizePlain * 100;
    out << "- trigram, suffix and package indexes add " << QString::number(growth, 'f', 1) << "% to the catalogue\n";
    const double suffixes = c.sizeSuffix + c.sizePackageSuffix;
    const double suffixGrowth = suffixes / (c.sizeFull - suffixes) * 100;
    out << "- the name and package suffix tables add " << QString::number(suffixGrowth, 'f', 1)
        << "% to the catalogue (<= 15%) " << verdict(suffixGrowth <= 15) << "\n";
    for (const auto &f : c.file) {
        const QString suffix = SearchStatement::likePattern(f.keyword);
        if (!suffix.startsWith(QLatin1Char('%')) || suffix.size() < 2 || suffix.size() > 10
            || suffix.mid(1).contains(QLatin1Char('%')) || suffix.contains(QLatin1Char('/')))
            continue;
        out << "- suffix `" << f.keyword << "`: " << fmtMs(f.finder) << " ms end to end (<= 50 ms) "
            << verdict(f.finder <= 50) << "\n";
    }
    for (const auto &f : c.file) {
        if (f.keyword != QLatin1String("*") && f.keyword != QLatin1String("/usr/share/doc/*")
            && f.keyword != QLatin1String("*a*"))
            continue;
        out << "- file `" << f.keyword << "` with every row shown: " << fmtMs(f.finder) << " ms (<= 1000 ms) "
            << verdict(f.finder >= 0 && f.finder <= 1000) << "\n";
    }
    out << "- longest gap between 1 ms timer ticks during the slowest file search (`" << c.slowestKeyword
        << "`): " << fmtMs(c.longestGap) << " ms (<= 100 ms) "
        << verdict(c.longestGap >= 0 && c.longestGap <= 100) << "\n";
    out << "- Esc to the empty table: " << fmtMs(c.stopMs) << " ms (<= 100 ms) "
        << verdict(c.stopMs >= 0 && c.stopMs <= 100) << "\n";
}

// Each proposal is a copy of the full catalogue with one change (bench/variants.sh):
// the finder's statements, as it would build them for that copy, timed with the C API.
void measureVariants(Context &c, const QStringList &variantDirs, const QStringList &keywords)
{
    if (variantDirs.isEmpty())
        return;
    out << "\nProposals, each on a copy of the full catalogue (C API, median of " << c.reps << "):\n\n"
        << QString::fromUtf8("| copy | size | case | keyword | rows | full ms | copy ms | full÷copy |\n")
        << "|---|---:|---|---|---:|---:|---:|---:|\n";
    for (const QString &dir : variantDirs) {
        const QString db = QFileInfo(dir + QStringLiteral("/os_pkg_list.db")).absoluteFilePath();
        const QString size = mib(QFileInfo(db).size() / 1024.0);
        CatalogueFeatures features;
        features.fileLists = true;
        const QStringList tables = queryTables(db);
        features.nameTrigrams = tables.contains(QStringLiteral(QV_NAME_FTS));
        features.dirTrigrams = tables.contains(QStringLiteral(QV_DIR_FTS));
        CatalogueFeatures fullFeatures = features;
        fullFeatures.nameTrigrams = fullFeatures.dirTrigrams = fullFeatures.nameSuffixes = true;
        features.nameSuffixes = tables.contains(QStringLiteral(QV_SUFFIX_TABLE));
        for (const QString &keyword : keywords) {
            const QString onFull = SearchStatement::build(keyword, SearchMode::FileName, fullFeatures);
            const QString onCopy = SearchStatement::build(keyword, SearchMode::FileName, features);
            long long rows = -1, copyRows = -1;
            const Timed full = timeIt(c.reps, [&] { rows = runStatement(c.full, onFull).rows; });
            const Timed copy = timeIt(c.reps, [&] { copyRows = runStatement(db, onCopy).rows; });
            out << "| " << QFileInfo(dir).fileName() << " | " << size << " | file | `" << keyword << "` | " << copyRows
                << (copyRows != rows ? QStringLiteral(" (full %1!)").arg(rows) : QString()) << " | "
                << cell(full, c.reps) << " | " << cell(copy, c.reps) << " | " << fmtRatio(ratio(full.ms, copy.ms))
                << " |\n";
            fprintf(stderr, "  %s %s: %s ms\n", qPrintable(dir), qPrintable(keyword), qPrintable(cell(copy, c.reps)));
        }
    }
}

