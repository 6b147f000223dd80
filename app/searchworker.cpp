#include "searchworker.h"
#include "threadhandoff.h"

#include <readtransaction.h>
#include "catalogueconnection.h"
#include "matchtooltip.h"
#include "packagerows.h"
#include "packagesearch.h"

#include <mutex>

#include <filesearch.h>
#include <sqlite3.h>

namespace {

int textLength(const QVariant &value)
{
    return value.type() == QVariant::String ? value.toString().size() : 0;
}

// Paths are delivered in batches of this many, so that a long request shows progress.
const int pathBatch = 256;

// The keyword as UTF-8 for the engine. A surrogate half that stands alone is no character
// of any file name: it becomes U+FFFD, not the "?" (a wildcard) that toUtf8 would make it.
std::string engineKeyword(QString keyword)
{
    for (int i = 0; i < keyword.size(); ++i) {
        if (keyword.at(i).isHighSurrogate() && i + 1 < keyword.size() && keyword.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (keyword.at(i).isSurrogate()) {
            keyword[i] = QChar(QChar::ReplacementCharacter);
        }
    }
    const QByteArray utf8 = keyword.toUtf8();
    return std::string(utf8.constData(), size_t(utf8.size()));
}

} // namespace

SearchWorker::SearchWorker()
    : connection(std::make_unique<CatalogueConnection>())
{
    qRegisterMetaType<SearchOutcome>();
    qRegisterMetaType<SearchRequest>();
    qRegisterMetaType<SearchHint>();
    qRegisterMetaType<QVector<qint64>>("QVector<qint64>");
    connect(this, &SearchWorker::searchAsked, this, &SearchWorker::search, Qt::QueuedConnection);
    connect(this, &SearchWorker::pathsAsked, this, &SearchWorker::findPaths, Qt::QueuedConnection);
    connect(this, &SearchWorker::matchesAsked, this, &SearchWorker::findMatches, Qt::QueuedConnection);
}

SearchWorker::~SearchWorker()
{
    closeCatalogue();
}

// Qt copies a queued signal's arguments inside its meta-type system, so the hand-off mark
// covers them for ThreadSanitizer.
void SearchWorker::askSearch(quint64 work, const SearchRequest &request)
{
    ThreadHandoff::post();
    emit searchAsked(work, request);
}

void SearchWorker::askPaths(quint64 searchWork, quint64 work, const QVector<qint64> &ids)
{
    ThreadHandoff::post();
    emit pathsAsked(searchWork, work, ids);
}

void SearchWorker::askMatches(quint64 searchWork, quint64 work, const QVector<qint64> &ids)
{
    ThreadHandoff::post();
    emit matchesAsked(searchWork, work, ids);
}

void SearchWorker::stopUpTo(quint64 work)
{
    quint64 stopped = stoppedUpTo.load();
    while (stopped < work && !stoppedUpTo.compare_exchange_weak(stopped, work)) {
    }
    std::lock_guard<std::mutex> locker(handleMutex);
    // Only the work asked to stop: a later search may already be running.
    if (handle && activeWork <= work) {
        sqlite3_interrupt(handle);
    }
}

bool SearchWorker::stopping() const
{
    return activeWork <= stoppedUpTo.load();
}

void SearchWorker::begin(quint64 work)
{
    std::lock_guard<std::mutex> locker(handleMutex);
    activeWork = work;
}

// sqlite3_interrupt reaches only the statement running at the time; SQLite also asks the
// worker every thousand steps of any statement, so that one started just after a stop
// ends at once too.
void SearchWorker::attach(sqlite3 *newHandle)
{
    std::lock_guard<std::mutex> locker(handleMutex);
    if (newHandle && newHandle != handle) {
        sqlite3_progress_handler(newHandle, 1000, [](void *worker) -> int {
            return static_cast<SearchWorker *>(worker)->stopping() ? 1 : 0;
        }, this);
    }
    handle = newHandle;
}

void SearchWorker::closeCatalogue()
{
    fileSearch.reset();
    fileSearchWork = 0;
    attach(nullptr);
    connection->close();
}

void SearchWorker::search(quint64 work, const SearchRequest &request)
{
    begin(work);
    // The previous search's later paths are no longer wanted.
    fileSearch.reset();
    fileSearchWork = 0;
    SearchOutcome outcome;
    if (!stopping()) {
        run(work, request, outcome);
    }
    if (stopping()) {
        fileSearch.reset();
        outcome = SearchOutcome();
    }
    ThreadHandoff::post();
    emit searchEnded(work, outcome);
    // Only an empty result waits for nothing else: its hint is worked out once it is shown.
    if (outcome.end == SearchOutcome::End::Rows && outcome.cells.isEmpty() && !stopping()) {
        const SearchHint hint = SearchHint::find(handle, request.keyword, request.mode, [this] { return stopping(); });
        if (!stopping()) {
            ThreadHandoff::post();
            emit hintReady(work, hint);
        }
    }
}

void SearchWorker::run(quint64 work, const SearchRequest &request, SearchOutcome &outcome)
{
    attach(nullptr);
    if (!connection->open(request.path, request.databaseName, request.connectOptions)) {
        fail(outcome, connection->error());
        return;
    }
    attach(connection->handle());
    if (handle) {
        sqlite3_busy_timeout(handle, connection->busyTimeout());
    }
    // Every search checks that the tables are real tables (the file may have been replaced
    // since the last one); only a file-name search depends on what else it offers.
    const CatalogueFeatures features = connection->features();
    if (features.error.isValid() || !features.refusal.isEmpty()) {
        fail(outcome, features.error.isValid() ? features.error : CatalogueError(QString(), features.refusal));
        return;
    }
    if (request.mode == SearchMode::PackageName) {
        searchPackages(work, request.keyword, outcome);
    } else if (features.fileLists) {
        searchFiles(work, request.keyword, outcome);
    } else {
        outcome.end = features.olderKind ? SearchOutcome::End::OlderCatalogue : SearchOutcome::End::NoFileLists;
    }
}

void SearchWorker::fail(SearchOutcome &outcome, const CatalogueError &error)
{
    outcome = SearchOutcome();
    outcome.end = SearchOutcome::End::SqlError;
    outcome.error = error;
}

void SearchWorker::searchPackages(quint64 work, const QString &keyword, SearchOutcome &outcome)
{
    PackageSearch search(handle, keyword);
    ThreadHandoff::post();
    emit statementReady(work, search.statement());
    switch (search.run(maxCellChars, maxRowBytes, [this] { return stopping(); })) {
    case PackageSearch::Result::Failed:
        fail(outcome, search.error());
        return;
    case PackageSearch::Result::TooLarge:
        outcome = SearchOutcome();
        outcome.end = SearchOutcome::End::TooLarge;
        return;
    case PackageSearch::Result::Stopped:
        return; // the search counts as stopped
    case PackageSearch::Result::Rows:
        break;
    }
    outcome.titles = search.titles();
    outcome.cells = search.takeCells();
    outcome.end = SearchOutcome::End::Rows;
}

// The engine finds the packages; their rows are read in order of id, and the first paths
// of the first rows worked out at once, the others when the window asks (findPaths).
void SearchWorker::searchFiles(quint64 work, const QString &keyword, SearchOutcome &outcome)
{
    // The engine's reads, the package rows and the first paths in one read of the file.
    const ReadTransaction transaction(handle);
    std::unique_ptr<FileSearch> search;
    std::vector<uint32_t> ids;
    try {
        search = std::make_unique<FileSearch>(handle, engineKeyword(keyword), [this] { return stopping(); });
        ids = search->packages();
        outcome.fileCount = search->fileCount();
        ThreadHandoff::post();
        emit statementReady(work, QString::fromStdString(search->statement()));
    } catch (const std::exception &e) {
        if (search && !search->statement().empty()) {
            ThreadHandoff::post();
            emit statementReady(work, QString::fromStdString(search->statement()));
        }
        fail(outcome, engineError(e));
        return;
    }
    outcome.titles = QStringList{QStringLiteral("序号"), QStringLiteral("软件包名称"), QStringLiteral("匹配文件")};
    PackageRows rows(handle, maxCellChars, maxRowBytes);
    switch (rows.read(ids, outcome.cells)) {
    case PackageRows::Result::Failed:
        fail(outcome, rows.error());
        return;
    case PackageRows::Result::TooLarge:
        outcome = SearchOutcome();
        outcome.end = SearchOutcome::End::TooLarge;
        return;
    case PackageRows::Result::Done:
        break;
    }
    if (!fillEagerPaths(*search, outcome)) {
        return;
    }
    outcome.end = SearchOutcome::End::Rows;
    // Kept for the later paths and the cells' tooltips.
    if (!ids.empty()) {
        fileSearch = std::move(search);
        fileSearchWork = work;
    }
}

// The first paths of the first rows, in the search itself, under the cell bound.
bool SearchWorker::fillEagerPaths(FileSearch &search, SearchOutcome &outcome)
{
    const int rows = outcome.cells.size() / 3;
    try {
        for (int row = 0; row < qMin(rows, int(eagerPathRows)) && !stopping(); ++row) {
            const std::string path = search.firstPath(uint32_t(outcome.cells.at(row * 3).toLongLong()));
            if (path.size() > 4 * size_t(maxCellChars)) {
                outcome = SearchOutcome();
                outcome.end = SearchOutcome::End::TooLarge;
                return false;
            }
            // Known paths are never NULL, even an empty one.
            outcome.cells[row * 3 + 2] = path.empty() ? QString(QLatin1String("")) : QString::fromStdString(path);
            if (textLength(outcome.cells.at(row * 3 + 2)) > maxCellChars) {
                outcome = SearchOutcome();
                outcome.end = SearchOutcome::End::TooLarge;
                return false;
            }
        }
    } catch (const std::exception &e) {
        fail(outcome, engineError(e));
        return false;
    }
    outcome.pathsLater = rows > eagerPathRows;
    return true;
}

// An engine error as the window reports SQLite's: a catalogue that another program holds
// locked keeps SQLite's code, so that the box says it is busy.
CatalogueError SearchWorker::engineError(const std::exception &e) const
{
    const int code = handle ? sqlite3_errcode(handle) & 0xff : SQLITE_ERROR;
    const bool busy = code == SQLITE_BUSY || code == SQLITE_LOCKED;
    return CatalogueError(QString(), QString::fromUtf8(e.what()), busy ? QString::number(code) : QString());
}

// Later paths wait for no lock: a catalogue that a writer holds now gives empty cells
// rather than keeping the worker from the next search.
void SearchWorker::findPaths(quint64 searchWork, quint64 work, const QVector<qint64> &ids)
{
    begin(work);
    if (searchWork != fileSearchWork || !fileSearch) {
        QStringList empty;
        for (int i = 0; i < ids.size(); ++i)
            empty << QString();
        ThreadHandoff::post();
        emit pathsFound(searchWork, ids, empty);
        return;
    }
    if (handle) {
        sqlite3_busy_timeout(handle, 0);
    }
    const ReadTransaction transaction(handle);
    QVector<qint64> batch;
    QStringList paths;
    int done = 0;
    bool failed = false;
    for (; done < ids.size() && !stopping(); ++done) {
        std::string path;
        try {
            if (!failed) {
                path = fileSearch->firstPath(uint32_t(ids.at(done)));
            }
        } catch (const std::exception &) {
            if (stopping()) {
                break;
            }
            failed = true; // the rest of the request is not asked for
        }
        batch << ids.at(done);
        paths << QString::fromUtf8(path.data(), int(qMin(path.size(), size_t(4) * maxCellChars))).left(maxCellChars);
        if (batch.size() == pathBatch) {
            ThreadHandoff::post();
            emit pathsFound(searchWork, batch, paths);
            batch.clear();
            paths.clear();
        }
    }
    batch += ids.mid(done);
    ThreadHandoff::post();
    emit pathsFound(searchWork, batch, paths);
}

void SearchWorker::findMatches(quint64 searchWork, quint64 work, const QVector<qint64> &ids)
{
    begin(work);
    QStringList tooltips;
    if (searchWork == fileSearchWork && fileSearch) {
        if (handle) {
            sqlite3_busy_timeout(handle, 0);
        }
        const ReadTransaction transaction(handle);
        try {
            for (int i = 0; i < ids.size() && !stopping(); ++i) {
                size_t total = 0;
                const auto files = fileSearch->matchingFiles(uint32_t(ids.at(i)), MatchTooltip::maxFiles, &total);
                tooltips << MatchTooltip::text(files, total);
            }
        } catch (const std::exception &) {
            // A stop or a damaged file list: the rest have no tooltip of their own.
        }
    }
    ThreadHandoff::post();
    emit matchesFound(searchWork, ids, tooltips);
}
