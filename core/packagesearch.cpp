#include "packagesearch.h"
#include "cataloguequery.h"
#include "searchstatement.h"

namespace {

int textLength(const QVariant &value)
{
    return value.type() == QVariant::String ? value.toString().size() : 0;
}

} // namespace

PackageSearch::PackageSearch(sqlite3 *db, const QString &keyword)
    : db(db)
    , text(SearchStatement::build(keyword))
{
}

// Every row is read here; a statement can start and still fail on a later row (a damaged
// page): the reading ends there and keeps the error.
PackageSearch::Result PackageSearch::run(int maxCellChars, qint64 maxBytes, const StopFn &stop)
{
    columns.clear();
    values.clear();
    CatalogueQuery query(db);
    if (!query.exec(text)) {
        failure = query.lastError();
        return Result::Failed;
    }
    columns = query.columnNames();
    qint64 bytes = 0;
    while (query.next()) {
        if (stop && stop()) {
            values.clear();
            return Result::Stopped;
        }
        for (int i = 0; i < columns.size(); ++i) {
            QVariant value = query.value(i);
            // What the cell holds in memory: its text (UTF-16) and the variant around it.
            const int length = textLength(value);
            bytes += 2 * qint64(length) + qint64(sizeof(QVariant));
            if (length > maxCellChars || bytes > maxBytes) {
                values.clear();
                return Result::TooLarge;
            }
            values.append(std::move(value));
        }
    }
    if (query.lastError().isValid()) {
        failure = query.lastError();
        values.clear();
        return Result::Failed;
    }
    return Result::Rows;
}
