#ifndef SEARCHSTATEMENT_H
#define SEARCHSTATEMENT_H

#include "cataloguefeatures.h"

#include <QString>

// What the keyword names: a package name, or the name or path of a file that a package ships.
enum class SearchMode { PackageName, FileName };

// How a file-name search goes through a catalogue that has each package's files indexed
// (CatalogueFeatures::packageFiles):
// - Grouped: one statement gives each package with its first matching path; what every
//   catalogue can do, and the quickest unless most packages match.
// - PackageByPackage: each package's files are read until one matches; the first path of
//   a package is worked out when its row is shown (firstPath). The quickest where nearly
//   every package matches ("*", "*a*").
// - PackageSuffixes: a suffix keyword of up to five characters ("*.h") takes its package
//   rows from the package suffix table, the first paths again later.
// All of them give the same rows and first paths.
enum class FilePlan { Grouped, PackageByPackage, PackageSuffixes };

// Turns the user's keyword into the SQL statement that one search runs.
// Every piece of SQL that the finder runs against the catalogue is built here.
namespace SearchStatement {

// The fixed start of a package-name statement; the LIKE clause follows it directly.
extern const char *const packagePrefix;

// Counts the catalogue's packages, for the status bar at start-up.
extern const char *const packageCount;

// The LIKE pattern for a trimmed package-name keyword: a leading and/or trailing "*"
// turns an exact match into a suffix, prefix or substring match ("*vim*" gives "%vim%").
// "%" and "_" typed in the keyword stay LIKE wildcards; other stars are ordinary characters.
QString likePattern(const QString &keyword);

// The LIKE pattern, for ESCAPE '\', of a file-name keyword, where only "*" (any run of
// characters, a "/" included) and "?" (one character) are wildcards: "*" becomes "%",
// "?" becomes "_", and "%", "_" and "\" are escaped with "\" ("100%_*" gives
// "100\%\_%"). So a leading and/or trailing "*" still gives a suffix, prefix or
// substring match.
QString filePattern(const QString &keyword);

// The text as an SQL string literal: in apostrophes, each apostrophe in it doubled,
// so that no keyword can end the literal.
QString literal(const QString &text);

// " LIKE '<pattern>'" for a trimmed keyword.
QString likeClause(const QString &keyword);

// The whole statement for a trimmed, non-empty keyword. A file-name statement needs a
// catalogue with file lists; it uses the trigram indexes that the catalogue has.
QString build(const QString &keyword, SearchMode mode, const CatalogueFeatures &features = {});

// The reversed text of a suffix keyword that the package suffix table serves ("*.h" gives
// "h."), or nothing.
QString packageSuffixKey(const QString &keyword);

// The package rows of a file-name search by any plan but Grouped: the columns of build's,
// with the path column NULL. Needs the package index, and the package suffix table for
// PackageSuffixes; a keyword that table does not serve goes package by
// package.
QString fileRows(const QString &keyword, FilePlan plan);

// The first matching path (as build gives it) of the package whose id is bound to "?".
QString firstPath(const QString &keyword);

// How many packages a sample holds and how many of them ship a matching file: every
// `step`-th id, at most sampleSize of them. Tells how much of the catalogue matches.
const int sampleSize = 32;
QString matchingSample(const QString &keyword, int step);

} // namespace SearchStatement

#endif // SEARCHSTATEMENT_H
