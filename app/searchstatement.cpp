#include "searchstatement.h"

namespace {

// One row per package that ships a matching file, with the first matching path.
const char fileColumns[] =
    "SELECT p.id as '序号',  p.name || '-' || p.ver || '-' || p.rel || '.' || p.arch as '软件包名称', "
    "MIN(d.path || '/' || n.name) as '匹配文件' ";
// When the base name decides, the names are the outer loop (CROSS JOIN keeps SQLite
// to that order): a catalogue has no statistics, and for a pattern that no index
// serves ("*qt*") the planner would otherwise step through every file link.
const char fromNames[] =
    "FROM qv_file_name_t n "
    "CROSS JOIN qv_pkg_file_t f ON f.name_id = n.id "
    "JOIN qv_file_dir_t d ON d.id = f.dir_id "
    "JOIN qv_pkg_list_t p ON p.id = f.pkg_id "
    "WHERE ";
const char fromFiles[] =
    "FROM qv_pkg_file_t f "
    "JOIN qv_file_name_t n ON n.id = f.name_id "
    "JOIN qv_file_dir_t d ON d.id = f.dir_id "
    "JOIN qv_pkg_list_t p ON p.id = f.pkg_id "
    "WHERE ";
const char fileGrouping[] = " GROUP BY p.id ORDER BY p.id";

bool isWildcard(QChar c)
{
    return c == QLatin1Char('%') || c == QLatin1Char('_');
}

// A pattern that starts with literal text is served by the B-tree index on the names.
bool startsWithLiteral(const QString &pattern)
{
    return !pattern.isEmpty() && !isWildcard(pattern.at(0));
}

// A trigram index can only narrow a pattern down by a run of three literal characters.
bool hasTrigram(const QString &pattern)
{
    int run = 0;
    for (const QChar c : pattern) {
        run = isWildcard(c) ? 0 : run + 1;
        if (run >= 3)
            return true;
    }
    return false;
}

bool trigramsHelp(const QString &pattern, bool indexed)
{
    return indexed && !startsWithLiteral(pattern) && hasTrigram(pattern);
}

// Base names matching the pattern. The trigram index only proposes candidates; the
// plain LIKE decides, so the rows are exactly those of the plain statement.
QString nameCondition(const QString &pattern, const CatalogueFeatures &features)
{
    using SearchStatement::literal;
    QString condition = QStringLiteral("n.name LIKE ") + literal(pattern);
    if (trigramsHelp(pattern, features.nameTrigrams)) {
        condition.prepend(QStringLiteral("n.id IN (SELECT rowid FROM qv_file_name_fts WHERE name LIKE ")
                          + literal(pattern) + QStringLiteral(") AND "));
    }
    return condition;
}

QString fileStatement(const char *from, const QString &condition)
{
    return QString::fromUtf8(fileColumns) + QLatin1String(from) + condition + QLatin1String(fileGrouping);
}

// Full paths (directory, "/", name) matching a pattern that holds a "/".
QString pathStatement(const QString &pattern, const CatalogueFeatures &features)
{
    using SearchStatement::literal;
    const int slash = pattern.lastIndexOf(QLatin1Char('/'));
    const QString dirPart = pattern.left(slash);
    const QString namePart = pattern.mid(slash + 1);
    // Without wildcards after the last "/", that "/" can only be the one before the
    // file's own name: the name and the directory are matched apart, each by its index.
    if (!namePart.contains(QLatin1Char('%')) && !namePart.contains(QLatin1Char('_'))) {
        return fileStatement(fromNames, nameCondition(namePart, features)
                                            + QStringLiteral(" AND d.path LIKE ") + literal(dirPart));
    }
    QString condition = QStringLiteral("d.path || '/' || n.name LIKE ") + literal(pattern);
    // Every matching path lies in a directory whose path matches the part before the last "/".
    const QString dirPrefix = dirPart + QLatin1Char('%');
    if (trigramsHelp(dirPrefix, features.dirTrigrams)) {
        condition.prepend(QStringLiteral("d.id IN (SELECT rowid FROM qv_file_dir_fts WHERE path LIKE ")
                          + literal(dirPrefix) + QStringLiteral(") AND "));
    }
    return fileStatement(fromFiles, condition);
}

} // namespace

namespace SearchStatement {

const char *const packagePrefix =
    "SELECT id as '序号',  name || '-' || ver || '-' || rel || '.' || arch as '软件包名称' "
    "FROM qv_pkg_list_t WHERE name ";

QString likePattern(const QString &keyword)
{
    const QChar star('*');
    const QChar any('%');
    if (keyword.startsWith(star) && keyword.endsWith(star))
        return any + keyword.mid(1, keyword.length() - 2) + any;
    if (keyword.startsWith(star))
        return any + keyword.mid(1);
    if (keyword.endsWith(star))
        return keyword.left(keyword.length() - 1) + any;
    return keyword;
}

QString literal(const QString &text)
{
    // SQLite reads the statement up to its first NUL, so a NUL is spliced in as char(0).
    // It reads an unpaired surrogate together with the character after it, which could be
    // an apostrophe, so an unpaired surrogate becomes U+FFFD.
    QString quoted(QLatin1Char('\''));
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\'')) {
            quoted += QLatin1String("''");
        } else if (c.isNull()) {
            quoted += QLatin1String("' || char(0) || '");
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            quoted += c;
            quoted += text.at(++i);
        } else if (c.isSurrogate()) {
            quoted += QChar(QChar::ReplacementCharacter);
        } else {
            quoted += c;
        }
    }
    return quoted + QLatin1Char('\'');
}

QString likeClause(const QString &keyword)
{
    return QStringLiteral(" LIKE ") + literal(likePattern(keyword));
}

QString build(const QString &keyword, SearchMode mode, const CatalogueFeatures &features)
{
    if (mode == SearchMode::PackageName)
        return QString::fromUtf8(packagePrefix) + likeClause(keyword);
    const QString pattern = likePattern(keyword);
    if (keyword.contains(QLatin1Char('/')))
        return pathStatement(pattern, features);
    return fileStatement(fromNames, nameCondition(pattern, features));
}

} // namespace SearchStatement
