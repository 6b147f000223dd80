#include "searchhint.h"
#include "cataloguequery.h"

#include <catalogueschema.h>
#include <filesearch.h>

#include <QVariant>
#include <QVector>

#include <algorithm>
#include <exception>
#include <set>

namespace {
// Candidate names read for one keyword, at most: a bound on a hostile catalogue.
const int maxCandidates = 200000;

QChar folded(QChar c)
{
    return c.unicode() < 128 ? c.toLower() : c;
}
} // namespace

SearchHint SearchHint::find(sqlite3 *db, const QString &keyword, SearchMode mode, const StopFn &stop)
{
    SearchHint hint;
    if (mode == SearchMode::FileName && keyword.contains(QLatin1Char('/'))) {
        for (const QString &alternative : pathAlternatives(keyword)) {
            const qint64 count = countFilePackages(db, alternative, stop);
            if (count > 0) {
                hint.wildKeyword = alternative;
                hint.wildCount = count;
                break;
            }
        }
        return hint;
    }
    const QChar star('*');
    if (!keyword.contains(star)) {
        hint.wildKeyword = star + keyword + star;
        hint.wildCount = mode == SearchMode::PackageName ? countPackages(db, hint.wildKeyword)
                                                         : countFilePackages(db, hint.wildKeyword, stop);
        if (mode == SearchMode::PackageName && !stop()) {
            hint.names = nearNames(db, keyword, stop);
        }
    }
    return hint;
}

QStringList SearchHint::pathAlternatives(const QString &keyword)
{
    // The merged-/usr name of a path is searched with it already (the engine's path
    // aliases), so the one alternative left is the path's last two parts anywhere.
    QStringList alternatives;
    QStringList parts = keyword.split(QLatin1Char('/'));
    parts.removeAll(QString());
    if (parts.size() >= 2) {
        const QString tail = QLatin1String("*/") + parts.at(parts.size() - 2) + QLatin1Char('/') + parts.last();
        if (tail != keyword && !alternatives.contains(tail)) {
            alternatives << tail;
        }
    }
    return alternatives;
}

// The package-name statement's own LIKE clause, counted.
qint64 SearchHint::countPackages(sqlite3 *db, const QString &keyword)
{
    CatalogueQuery query(db);
    const QString statement = QString::fromUtf8(SearchStatement::packageCount) + QLatin1String(" WHERE " QV_PKG_NAME)
                              + SearchStatement::likeClause(keyword);
    if (!query.exec(statement) || !query.next()) {
        return -1;
    }
    return query.value(0).toLongLong();
}

qint64 SearchHint::countFilePackages(sqlite3 *handle, const QString &keyword, const StopFn &stop)
{
    if (!handle) {
        return -1;
    }
    try {
        const QByteArray utf8 = keyword.toUtf8();
        FileSearch search(handle, std::string(utf8.constData(), size_t(utf8.size())), stop);
        return qint64(search.packages().size());
    } catch (const std::exception &) {
        return -1; // stopped, or a catalogue the search could not read
    }
}

// The candidates share the keyword's first character (regardless of ASCII case, through
// the name index) and are at most two characters longer or shorter.
QStringList SearchHint::nearNames(sqlite3 *db, const QString &keyword, const StopFn &stop)
{
    if (keyword.isEmpty() || keyword.size() > maxNameKeyword) {
        return {};
    }
    const QString low = QString(folded(keyword.at(0)));
    const QString high = QString(QChar(low.at(0).unicode() + 1));
    CatalogueQuery query(db);
    query.prepare(QStringLiteral("SELECT DISTINCT " QV_PKG_NAME " FROM " QV_PKG_TABLE
                                 " WHERE " QV_PKG_NAME " COLLATE NOCASE >= ?1 AND " QV_PKG_NAME " COLLATE NOCASE < ?2"
                                 " AND length(" QV_PKG_NAME ") BETWEEN ?3 AND ?4 LIMIT ?5"));
    query.addBindValue(low);
    query.addBindValue(high);
    query.addBindValue(keyword.size() - maxEdits);
    query.addBindValue(keyword.size() + maxEdits);
    query.addBindValue(maxCandidates);
    if (!query.exec()) {
        return {};
    }
    std::set<std::pair<int, QString>> nearest; // (edits, name): the fewest edits first
    while (query.next() && !stop()) {
        const QString name = query.value(0).toString();
        const int edits = editDistance(keyword, name, maxEdits);
        if (edits > 0 && edits <= maxEdits) {
            nearest.emplace(edits, name);
        }
    }
    QStringList names;
    for (auto it = nearest.begin(); it != nearest.end() && names.size() < maxNames; ++it)
        names << it->second;
    return names;
}

// The usual dynamic programme over two rows; a row whose every entry is past the limit
// ends it early.
int SearchHint::editDistance(const QString &a, const QString &b, int limit)
{
    if (std::abs(a.size() - b.size()) > limit) {
        return limit + 1;
    }
    QVector<int> previous(b.size() + 1);
    QVector<int> current(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        current[0] = i;
        int rowMin = current[0];
        for (int j = 1; j <= b.size(); ++j) {
            const int substitution = previous[j - 1] + (folded(a.at(i - 1)) == folded(b.at(j - 1)) ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
            rowMin = std::min(rowMin, current[j]);
        }
        if (rowMin > limit) {
            return limit + 1;
        }
        std::swap(previous, current);
    }
    return std::min(previous[b.size()], limit + 1);
}
