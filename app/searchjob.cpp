#include "searchjob.h"
#include "cataloguefeatures.h"

#include <QMutexLocker>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

namespace {

// The QSQLITE driver hands out its sqlite3 handle as a QVariant holding "sqlite3*".
sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

int textLength(const QVariant &value)
{
    return value.type() == QVariant::String ? value.toString().size() : 0;
}

} // namespace

SearchJob::SearchJob(const SearchRequest &request, QObject *parent)
    : QThread(parent)
    , request(request)
{
}

SearchJob::~SearchJob()
{
    stop();
    wait();
}

void SearchJob::stop()
{
    stopped.store(true);
    QMutexLocker locker(&handleMutex);
    if (handle)
        sqlite3_interrupt(handle);
}

void SearchJob::setHandle(sqlite3 *newHandle)
{
    QMutexLocker locker(&handleMutex);
    handle = newHandle;
    // A stop that came before the statement started would find nothing to interrupt.
    if (handle && stopped.load())
        sqlite3_interrupt(handle);
}

void SearchJob::run()
{
    // A connection belongs to the thread that made it: this one is made, used and
    // removed here, under a name no other search uses.
    const QString name = QStringLiteral("quorvi-search-%1").arg(quintptr(this), 0, 16);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(request.databaseName);
        db.setConnectOptions(request.connectOptions);
        if (stopped.load()) {
            outcome.end = SearchOutcome::End::Stopped;
        } else if (!db.open()) {
            outcome.end = SearchOutcome::End::SqlError;
            outcome.error = db.lastError();
        } else {
            setHandle(sqliteHandle(db));
            search(db);
            setHandle(nullptr);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (stopped.load()) {
        outcome = SearchOutcome();
        outcome.end = SearchOutcome::End::Stopped;
    }
}

void SearchJob::search(const QSqlDatabase &db)
{
    // Every search checks that the tables are real tables (the file may have been replaced
    // since the last one); only a file-name statement depends on what else it offers.
    const CatalogueFeatures features = CatalogueFeatures::read(db);
    if (features.error.isValid() || !features.refusal.isEmpty()) {
        outcome.end = SearchOutcome::End::SqlError;
        outcome.error = features.error.isValid()
                            ? features.error
                            : QSqlError(QString(), features.refusal, QSqlError::StatementError);
        return;
    }
    if (request.mode == SearchMode::FileName && !features.fileLists) {
        outcome.end = SearchOutcome::End::NoFileLists;
        return;
    }
    const QString statement = SearchStatement::build(request.keyword, request.mode, features);
    emit statementReady(statement);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(statement)) {
        outcome.end = SearchOutcome::End::SqlError;
        outcome.error = query.lastError();
        return;
    }
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        outcome.titles << record.fieldName(i);
    if (!readRows(query))
        return;
    // A statement can start and still fail on a later row (a damaged page): the query
    // ends there and keeps the error.
    if (query.lastError().isValid()) {
        outcome.end = SearchOutcome::End::SqlError;
        outcome.error = query.lastError();
        return;
    }
    outcome.end = SearchOutcome::End::Rows;
}

// Every row is read here, on this thread; false when the rows passed the memory bound.
bool SearchJob::readRows(QSqlQuery &query)
{
    const int columns = outcome.titles.size();
    qint64 bytes = 0;
    while (query.next() && !stopped.load()) {
        for (int i = 0; i < columns; ++i) {
            QVariant value = query.value(i);
            // What the cell holds in memory: its text (UTF-16) and the variant around it.
            const int length = textLength(value);
            bytes += 2 * qint64(length) + qint64(sizeof(QVariant));
            if (length > maxCellChars || bytes > maxRowBytes) {
                outcome = SearchOutcome();
                outcome.end = SearchOutcome::End::TooLarge;
                return false;
            }
            outcome.cells.append(std::move(value));
        }
    }
    return true;
}
