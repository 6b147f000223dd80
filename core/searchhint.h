#ifndef SEARCHHINT_H
#define SEARCHHINT_H

#include "searchstatement.h"

#include <QMetaType>
#include <QStringList>

#include <functional>

struct sqlite3;

// What the status bar offers after a search that found nothing: the same search with
// "*" around the keyword and how many packages it finds, and in package-name mode the
// package names within two edits of the keyword. A path keyword in file-name mode gets
// instead the first of its alternatives (pathAlternatives) that finds packages. Worked out on the search thread, and
// only after an empty result, so that no search that finds rows waits for it.
class SearchHint
{
public:
    using StopFn = std::function<bool()>;

    // Up to this many names are offered, each within this many edits of the keyword.
    static constexpr int maxNames = 3;
    static constexpr int maxEdits = 2;
    // Keywords longer than this get no names: no package name is that long, and the
    // edit distance costs the product of the two lengths.
    static constexpr int maxNameKeyword = 64;

    QString wildKeyword;   // "*KEY*" or a path's alternative; empty where there is none
    qint64 wildCount = -1; // the packages wildKeyword finds; -1 when it was not counted
    QStringList names;     // the nearest names first

    bool isEmpty() const { return wildCount <= 0 && names.isEmpty(); }

    // The hint for an empty result of `keyword` (trimmed) in `mode`, read through the
    // search's own connection; a search that stops (or fails) leaves that part out.
    static SearchHint find(sqlite3 *db, const QString &keyword, SearchMode mode, const StopFn &stop);

    // For a keyword with a "/": "*/" and its last two parts ("*/bin/ls"), leaving out the
    // keyword itself. Its merged-/usr name needs no hint: the search looks under both.
    static QStringList pathAlternatives(const QString &keyword);

    // Edits (insertions, deletions, substitutions) between two texts, ASCII letters
    // compared regardless of case; any count above `limit` is returned as limit + 1.
    static int editDistance(const QString &a, const QString &b, int limit);

private:
    static qint64 countPackages(sqlite3 *db, const QString &keyword);
    static qint64 countFilePackages(sqlite3 *handle, const QString &keyword, const StopFn &stop);
    static QStringList nearNames(sqlite3 *db, const QString &keyword, const StopFn &stop);
};
Q_DECLARE_METATYPE(SearchHint)

#endif // SEARCHHINT_H
