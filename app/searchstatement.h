#ifndef SEARCHSTATEMENT_H
#define SEARCHSTATEMENT_H

#include "cataloguefeatures.h"

#include <QString>

// What the keyword names: a package name, or the name or path of a file that a package ships.
enum class SearchMode { PackageName, FileName };

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

} // namespace SearchStatement

#endif // SEARCHSTATEMENT_H
