#include "searchstatement.h"

#include <QStringList>
#include <QVector>

#include <algorithm>

#include <catalogueschema.h>

namespace {

// One row per package that ships a matching file, with the first matching path. The
// links are grouped by package first, so that only one row per package is joined to
// the package list.
const char fileColumns[] =
    "SELECT p." QV_PKG_ID " as '序号',  p." QV_PKG_NAME " || '-' || p." QV_PKG_VER " || '-' || p." QV_PKG_REL
    " || '.' || p." QV_PKG_ARCH " as '软件包名称', "
    "m.path as '匹配文件' "
    "FROM (SELECT f." QV_LINK_PKG " AS pkg_id, MIN(d." QV_DIR_PATH " || '/' || n." QV_NAME_TEXT ") AS path ";
// When the base name decides, the names are the outer loop (CROSS JOIN keeps SQLite
// to that order): a catalogue has no statistics, and for a pattern that no index
// serves ("*qt*") the planner would otherwise step through every file link.
const char fromNames[] =
    "FROM " QV_NAME_TABLE " n "
    "CROSS JOIN " QV_LINK_TABLE " f ON f." QV_LINK_NAME " = n." QV_NAME_ID " "
    "JOIN " QV_DIR_TABLE " d ON d." QV_DIR_ID " = f." QV_LINK_DIR " "
    "WHERE ";
const char fromFiles[] =
    "FROM " QV_LINK_TABLE " f "
    "JOIN " QV_NAME_TABLE " n ON n." QV_NAME_ID " = f." QV_LINK_NAME " "
    "JOIN " QV_DIR_TABLE " d ON d." QV_DIR_ID " = f." QV_LINK_DIR " "
    "WHERE ";
// The package rows alone; their first matching paths are worked out later (firstPath).
const char fileRowColumns[] =
    "SELECT p." QV_PKG_ID " as '序号',  p." QV_PKG_NAME " || '-' || p." QV_PKG_VER " || '-' || p." QV_PKG_REL
    " || '.' || p." QV_PKG_ARCH " as '软件包名称', NULL as '匹配文件' FROM " QV_PKG_TABLE " p ";
const char fileGrouping[] =
    " GROUP BY f." QV_LINK_PKG ") m "
    "JOIN " QV_PKG_TABLE " p ON p." QV_PKG_ID " = m.pkg_id ORDER BY p." QV_PKG_ID;

// In file-name keywords "*" stands for any run of characters and "?" for one character.
bool isKeywordWildcard(uint c)
{
    return c == '*' || c == '?';
}

// A keyword that starts with literal text is served by the B-tree index on the names.
bool startsWithLiteral(const QString &keyword)
{
    return !keyword.isEmpty() && !isKeywordWildcard(keyword.at(0).unicode());
}

// At most this many trigrams go into one index query: more narrow the candidates
// little further, and a keyword of 100,000 characters must not make a query as long.
const int maxTrigrams = 16;

// The distinct runs of three characters (code points, as the trigram tokenizer counts
// them) within the keyword's literal text: every text the keyword matches holds each.
QStringList trigramsOf(const QString &keyword)
{
    QStringList trigrams;
    QVector<uint> run;
    for (const uint c : keyword.toUcs4()) {
        // SQLite's LIKE reads the pattern only up to a NUL: what follows it cannot narrow.
        if (c == 0)
            break;
        if (isKeywordWildcard(c)) {
            run.clear();
            continue;
        }
        run.append(c);
        if (run.size() < 3)
            continue;
        const QString trigram = QString::fromUcs4(run.constData() + run.size() - 3, 3);
        if (!trigrams.contains(trigram))
            trigrams << trigram;
        if (trigrams.size() == maxTrigrams)
            break;
    }
    return trigrams;
}

// "<id> IN (rows of the trigram table holding every trigram of the keyword) AND ", or
// nothing where the index cannot narrow the keyword down or a B-tree index serves it.
// The trigrams are matched as tokens (MATCH) rather than through the table's own LIKE,
// which re-reads every candidate's text; the LIKE that follows decides anyway.
QString trigramFilter(const char *id, const char *table, const QString &keyword, bool indexed)
{
    if (!indexed || startsWithLiteral(keyword))
        return QString();
    QStringList phrases;
    for (QString trigram : trigramsOf(keyword))
        phrases << QLatin1Char('"') + trigram.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    if (phrases.isEmpty())
        return QString();
    return QLatin1String(id) + QLatin1String(" IN (SELECT rowid FROM ") + QLatin1String(table)
           + QLatin1String(" WHERE ") + QLatin1String(table) + QLatin1String(" MATCH ")
           + SearchStatement::literal(phrases.join(QLatin1String(" AND "))) + QLatin1String(") AND ");
}

// " LIKE '<pattern>'" for a file-name keyword, with " ESCAPE '\'" where the pattern
// holds an escaped character.
QString fileLike(const QString &keyword)
{
    const QString pattern = SearchStatement::filePattern(keyword);
    QString clause = QStringLiteral(" LIKE ") + SearchStatement::literal(pattern);
    if (pattern.contains(QLatin1Char('\\')))
        clause += QStringLiteral(" ESCAPE '\\'");
    return clause;
}

// The literal text of a suffix keyword ("*.so.3" gives ".so.3"), or nothing for any other
// keyword. SQLite's LIKE reads a pattern only up to a NUL, so a keyword holding one is left
// to the plain statement, as is one holding a surrogate that stands alone.
QString suffixLiteral(const QString &keyword)
{
    if (keyword.size() < 2 || keyword.at(0) != QLatin1Char('*'))
        return QString();
    const QString text = keyword.mid(1);
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isKeywordWildcard(c.unicode()) || c.isNull())
            return QString();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return QString();
    }
    return text;
}

// The last `length` characters of a suffix, reversed, as the suffix tables key them.
QString reversedKey(const QString &suffix, int length)
{
    QVector<uint> characters = suffix.toUcs4();
    std::reverse(characters.begin(), characters.end());
    characters.resize(qMin(characters.size(), length));
    return QString::fromUcs4(characters.constData(), characters.size());
}

// "<id> IN (names whose reversed last characters begin with the suffix's, reversed) AND "
// for a suffix keyword, or nothing. The suffix table keeps QV_SUFFIX_LENGTH characters, so
// a longer suffix is matched on its last ones: the LIKE that follows decides.
QString suffixFilter(const QString &keyword, bool indexed)
{
    const QString suffix = indexed ? suffixLiteral(keyword) : QString();
    if (suffix.isEmpty())
        return QString();
    const QString key = reversedKey(suffix, QV_SUFFIX_LENGTH);
    return QStringLiteral("n." QV_NAME_ID " IN (SELECT " QV_SUFFIX_NAME " FROM " QV_SUFFIX_TABLE " WHERE " QV_SUFFIX_KEY)
           + fileLike(key + QLatin1Char('*')) + QLatin1String(") AND ");
}

// Base names matching the keyword. The suffix and trigram indexes only propose candidates;
// the plain LIKE decides, so the rows are exactly those of the plain statement.
QString nameCondition(const QString &keyword, const CatalogueFeatures &features)
{
    QString filter = suffixFilter(keyword, features.nameSuffixes);
    if (filter.isEmpty())
        filter = trigramFilter("n." QV_NAME_ID, QV_NAME_FTS, keyword, features.nameTrigrams);
    return filter + QStringLiteral("n." QV_NAME_TEXT) + fileLike(keyword);
}

// Which files a file-name keyword matches: the links to walk and the condition on them.
// `condition` may use the suffix and trigram indexes to propose candidates; `plain` is the
// same test without them, for statements that start from one package's files.
struct FileMatch
{
    const char *from;  // fromNames or fromFiles
    QString condition;
    QString plain;
};

FileMatch nameMatch(const QString &keyword, const CatalogueFeatures &features)
{
    return {fromNames, nameCondition(keyword, features), nameCondition(keyword, CatalogueFeatures())};
}

// Full paths (directory, "/", name) matching a keyword that holds a "/".
FileMatch pathMatch(const QString &keyword, const CatalogueFeatures &features)
{
    const int slash = keyword.lastIndexOf(QLatin1Char('/'));
    const QString dirPart = keyword.left(slash);
    const QString namePart = keyword.mid(slash + 1);
    // Without wildcards after the last "/", that "/" can only be the one before the
    // file's own name: the name and the directory are matched apart, each by its index.
    // A "*" or "?" there can stand for a "/" too, so the whole path is matched instead.
    if (!namePart.contains(QLatin1Char('*')) && !namePart.contains(QLatin1Char('?'))) {
        const QString dirCondition = QStringLiteral(" AND d." QV_DIR_PATH) + fileLike(dirPart);
        return {fromNames, nameCondition(namePart, features) + dirCondition,
                nameCondition(namePart, CatalogueFeatures()) + dirCondition};
    }
    // Every matching path lies in a directory whose path matches the part before the last "/".
    const QString pathCondition = QStringLiteral("d." QV_DIR_PATH " || '/' || n." QV_NAME_TEXT) + fileLike(keyword);
    return {fromFiles,
            trigramFilter("d." QV_DIR_ID, QV_DIR_FTS, dirPart + QLatin1Char('*'), features.dirTrigrams) + pathCondition,
            pathCondition};
}

FileMatch fileMatch(const QString &keyword, const CatalogueFeatures &features)
{
    return keyword.contains(QLatin1Char('/')) ? pathMatch(keyword, features) : nameMatch(keyword, features);
}

// One package's files that match, the package given by `package` (an SQL expression).
// CROSS JOIN keeps SQLite to the package's own files first, through the package index.
// Both joins are inner, as in the grouped statement: a link to a missing name or
// directory matches nothing there either.
QString matchingFilesOf(const FileMatch &match, const QString &package)
{
    return QStringLiteral("FROM " QV_LINK_TABLE " f CROSS JOIN " QV_NAME_TABLE " n ON n." QV_NAME_ID " = f." QV_LINK_NAME
                          " CROSS JOIN " QV_DIR_TABLE " d ON d." QV_DIR_ID " = f." QV_LINK_DIR " WHERE f." QV_LINK_PKG " = ")
           + package + QLatin1String(" AND ") + match.plain;
}

} // namespace

namespace SearchStatement {

const char *const packagePrefix =
    "SELECT " QV_PKG_ID " as '序号',  " QV_PKG_NAME " || '-' || " QV_PKG_VER " || '-' || " QV_PKG_REL
    " || '.' || " QV_PKG_ARCH " as '软件包名称' FROM " QV_PKG_TABLE " WHERE " QV_PKG_NAME " ";

const char *const packageCount = "SELECT count(*) FROM " QV_PKG_TABLE;

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

QString filePattern(const QString &keyword)
{
    const QChar escape('\\');
    QString pattern;
    pattern.reserve(keyword.size());
    for (const QChar c : keyword) {
        if (c == QLatin1Char('*')) {
            pattern += QLatin1Char('%');
        } else if (c == QLatin1Char('?')) {
            pattern += QLatin1Char('_');
        } else {
            if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == escape)
                pattern += escape;
            pattern += c;
        }
    }
    return pattern;
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
    const FileMatch match = fileMatch(keyword, features);
    return QString::fromUtf8(fileColumns) + QLatin1String(match.from) + match.condition + QLatin1String(fileGrouping);
}

QString packageSuffixKey(const QString &keyword)
{
    const QString suffix = keyword.contains(QLatin1Char('/')) ? QString() : suffixLiteral(keyword);
    if (suffix.isEmpty() || suffix.toUcs4().size() > QV_PKG_SUFFIX_LENGTH)
        return QString();
    return reversedKey(suffix, QV_PKG_SUFFIX_LENGTH);
}

QString fileRows(const QString &keyword, FilePlan plan)
{
    const FileMatch match = fileMatch(keyword, CatalogueFeatures());
    QString statement = QString::fromUtf8(fileRowColumns);
    const QString suffixKey = plan == FilePlan::PackageSuffixes ? packageSuffixKey(keyword) : QString();
    if (!suffixKey.isEmpty()) {
        // One or two characters are a whole key; more are the start of five-character keys.
        const QString keys = suffixKey.toUcs4().size() <= 2 ? QStringLiteral(" = ") + literal(suffixKey)
                                                            : fileLike(suffixKey + QLatin1Char('*'));
        statement += QStringLiteral("WHERE p." QV_PKG_ID " IN (SELECT " QV_PKG_SUFFIX_PKG " FROM " QV_PKG_SUFFIX_TABLE
                                    " WHERE " QV_PKG_SUFFIX_KEY)
                     + keys + QLatin1Char(')');
    } else {
        statement += QStringLiteral("WHERE EXISTS (SELECT 1 ") + matchingFilesOf(match, QStringLiteral("p." QV_PKG_ID))
                     + QLatin1Char(')');
    }
    return statement + QStringLiteral(" ORDER BY p." QV_PKG_ID);
}

QString firstPath(const QString &keyword)
{
    const FileMatch match = fileMatch(keyword, CatalogueFeatures());
    return QStringLiteral("SELECT MIN(d." QV_DIR_PATH " || '/' || n." QV_NAME_TEXT ") ")
           + matchingFilesOf(match, QStringLiteral("?"));
}

QString matchingSample(const QString &keyword, int step)
{
    const FileMatch match = fileMatch(keyword, CatalogueFeatures());
    return QStringLiteral("SELECT count(*), count(*) FILTER (WHERE EXISTS (SELECT 1 ")
           + matchingFilesOf(match, QStringLiteral("s." QV_PKG_ID))
           + QStringLiteral(")) FROM (SELECT " QV_PKG_ID " FROM " QV_PKG_TABLE " WHERE " QV_PKG_ID " % %1 = 0 ORDER BY "
                            QV_PKG_ID " LIMIT %2) s").arg(qMax(step, 1)).arg(sampleSize);
}

} // namespace SearchStatement
