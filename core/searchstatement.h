#ifndef SEARCHSTATEMENT_H
#define SEARCHSTATEMENT_H

#include <QString>

// What the keyword names: a package name, or the name or path of a file that a package ships.
enum class SearchMode { PackageName, FileName };

// The SQL of package-name searches. File-name searches are answered by the file search
// engine (filesearch.h), which reads the catalogue's compact file lists.
namespace SearchStatement {

// The fixed start of a package-name statement; the LIKE clause follows it directly.
extern const char *const packagePrefix;

// Counts the catalogue's packages, for the status bar at start-up.
extern const char *const packageCount;

// The package rows of a file-name search: the id bound to "?1" and the name shown as
// name-ver-rel.arch, for one package ("=" ?1) or every package in a range of ids.
extern const char *const packageById;
extern const char *const packagesInRange;

// The LIKE pattern for a trimmed package-name keyword: a leading and/or trailing "*"
// turns an exact match into a suffix, prefix or substring match ("*vim*" gives "%vim%").
// "%" and "_" typed in the keyword stay LIKE wildcards; other stars are ordinary characters.
QString likePattern(const QString &keyword);

// The text as an SQL string literal: in apostrophes, each apostrophe in it doubled,
// so that no keyword can end the literal.
QString literal(const QString &text);

// " LIKE '<pattern>'" for a trimmed keyword.
QString likeClause(const QString &keyword);

// The whole package-name statement for a trimmed, non-empty keyword.
QString build(const QString &keyword);

} // namespace SearchStatement

#endif // SEARCHSTATEMENT_H
