#ifndef SEARCHSTATEMENT_H
#define SEARCHSTATEMENT_H

#include <QString>

// What the keyword names: a package name, or the name or path of a file that a package ships.
enum class SearchMode { PackageName, FileName };

// Turns the user's keyword into the SQL statement that one search runs.
// Every piece of SQL that the finder runs against the catalogue is built here.
namespace SearchStatement {

// The fixed start of a package-name statement; the LIKE clause follows it directly.
extern const char *const packagePrefix;

// The LIKE clause for a trimmed keyword: a leading and/or trailing "*" turns an exact
// match into a suffix, prefix or substring match. The keyword goes into an SQL string
// literal with each apostrophe doubled, so it can never end the literal; "%" and "_"
// stay LIKE wildcards.
QString likeClause(const QString &keyword);

// The whole statement for a trimmed, non-empty keyword.
QString build(const QString &keyword, SearchMode mode);

} // namespace SearchStatement

#endif // SEARCHSTATEMENT_H
