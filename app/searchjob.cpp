#include "searchjob.h"
#include "cataloguefeatures.h"

#include <QMutexLocker>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

#include <climits>

#include <catalogueschema.h>

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

// The first matching path of one package through the prepared firstPath statement; a
// null QVariant where it fails (interrupted, say).
QVariant firstPathOf(QSqlQuery &query, qint64 packageId)
{
    query.bindValue(0, packageId);
    if (!query.exec() || !query.next())
        return QVariant();
    QVariant path = query.value(0);
    query.finish();
    return path;
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
    {
        QMutexLocker locker(&handleMutex);
        if (handle)
            sqlite3_interrupt(handle);
    }
    QMutexLocker locker(&pathMutex);
    pathWanted.wakeAll();
}

void SearchJob::release()
{
    QMutexLocker locker(&pathMutex);
    released = true;
    pathWanted.wakeAll();
}

QStringList SearchJob::firstPaths(const QVector<qint64> &packageIds)
{
    QMutexLocker locker(&pathMutex);
    if (!serving || released || stopped.load())
        return QStringList();
    pathRequest = packageIds;
    answered = false;
    pathWanted.wakeAll();
    while (!answered && serving)
        pathReady.wait(&pathMutex);
    return answered ? std::move(pathAnswer) : QStringList();
}

// Answers firstPaths() until the job is released or stopped. The window waits for each
// answer, so a catalogue that a writer holds locked is not waited for: its paths stay
// empty, and the rest of a batch is not asked for after the first that fails.
void SearchJob::servePaths(const QSqlDatabase &db)
{
    QSqlQuery query(db);
    query.exec(QStringLiteral("PRAGMA busy_timeout = 0"));
    query.setForwardOnly(true);
    const bool prepared = query.prepare(SearchStatement::firstPath(request.keyword));
    QMutexLocker locker(&pathMutex);
    while (prepared && serving && !released && !stopped.load()) {
        if (pathRequest.isEmpty()) {
            pathWanted.wait(&pathMutex);
            continue;
        }
        const QVector<qint64> ids = std::move(pathRequest);
        pathRequest.clear();
        locker.unlock();
        QStringList paths;
        for (const qint64 id : ids) {
            const QVariant path = firstPathOf(query, id);
            if (path.isNull())
                break;
            paths << path.toString().left(maxCellChars);
        }
        locker.relock();
        pathAnswer = std::move(paths);
        answered = true;
        pathReady.wakeAll();
    }
    serving = false;
    pathReady.wakeAll();
}

void SearchJob::endSearch()
{
    ended.store(true);
    emit searchEnded();
}

void SearchJob::setHandle(sqlite3 *newHandle)
{
    QMutexLocker locker(&handleMutex);
    // sqlite3_interrupt reaches only the statement running at the time; SQLite also asks
    // this job every thousand steps of any statement, so that one started just after a
    // stop (between two statements of a search) ends at once too.
    if (handle)
        sqlite3_progress_handler(handle, 0, nullptr, nullptr);
    if (newHandle) {
        sqlite3_progress_handler(newHandle, 1000, [](void *job) -> int {
            return static_cast<SearchJob *>(job)->stopped.load() ? 1 : 0;
        }, this);
    }
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
            if (!stopped.load() && outcome.pathsLater) {
                {
                    QMutexLocker locker(&pathMutex);
                    serving = true;
                }
                endSearch();
                servePaths(db);
            }
            setHandle(nullptr);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (ended.load())
        return;
    if (stopped.load()) {
        outcome = SearchOutcome();
        outcome.end = SearchOutcome::End::Stopped;
    }
    endSearch();
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
    const FilePlan plan = request.mode == SearchMode::FileName ? choosePlan(db, features) : FilePlan::Grouped;
    const QString statement = plan == FilePlan::Grouped
                                  ? SearchStatement::build(request.keyword, request.mode, features)
                                  : SearchStatement::fileRows(request.keyword, plan);
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
    query.finish();
    if (plan != FilePlan::Grouped && !fillEagerPaths(db))
        return;
    outcome.end = SearchOutcome::End::Rows;
}

// Takes a short suffix's packages from the package suffix table; otherwise goes package by
// package where a sample of the packages shows that at least half of them match, and runs
// the one grouped statement where fewer do (its walk through the matching names then
// costs as much as finding the packages alone would). The choice only decides the speed:
// every plan gives the same rows.
FilePlan SearchJob::choosePlan(const QSqlDatabase &db, const CatalogueFeatures &features)
{
    if (!features.packageFiles)
        return FilePlan::Grouped;
    if (features.packageSuffixes && !SearchStatement::packageSuffixKey(request.keyword).isEmpty())
        return FilePlan::PackageSuffixes;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT max(" QV_PKG_ID ") FROM " QV_PKG_TABLE)) || !query.next())
        return FilePlan::Grouped;
    const qint64 lastId = query.value(0).toLongLong();
    const int step = int(qBound<qint64>(1, lastId / SearchStatement::sampleSize, INT_MAX));
    if (!query.exec(SearchStatement::matchingSample(request.keyword, step)) || !query.next())
        return FilePlan::Grouped;
    const int sampled = query.value(0).toInt();
    const int matching = query.value(1).toInt();
    return sampled > 0 && 2 * matching >= sampled ? FilePlan::PackageByPackage : FilePlan::Grouped;
}

// The first paths of the first rows, in the search itself, under the cell bound; the
// rest wait for firstPaths().
bool SearchJob::fillEagerPaths(const QSqlDatabase &db)
{
    const int columns = outcome.titles.size();
    const int rows = columns ? outcome.cells.size() / columns : 0;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(SearchStatement::firstPath(request.keyword))) {
        outcome.end = SearchOutcome::End::SqlError;
        outcome.error = query.lastError();
        return false;
    }
    for (int row = 0; row < qMin(rows, eagerPathRows) && !stopped.load(); ++row) {
        QVariant &cell = outcome.cells[row * columns + columns - 1];
        cell = firstPathOf(query, outcome.cells.at(row * columns).toLongLong());
        if (query.lastError().isValid()) {
            const QSqlError error = query.lastError();
            outcome = SearchOutcome();
            outcome.end = SearchOutcome::End::SqlError;
            outcome.error = error;
            return false;
        }
        if (textLength(cell) > maxCellChars) {
            outcome = SearchOutcome();
            outcome.end = SearchOutcome::End::TooLarge;
            return false;
        }
    }
    outcome.pathsLater = rows > eagerPathRows;
    return true;
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
