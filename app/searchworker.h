#ifndef SEARCHWORKER_H
#define SEARCHWORKER_H

#include "catalogueerror.h"
#include "searchhint.h"
#include "searchstatement.h"

#include <mutex>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <atomic>
#include <memory>

class CatalogueConnection;
class FileSearch;
struct sqlite3;

// What one search asks for: the catalogue file, how SQLite opens it, and the keyword.
struct SearchRequest
{
    QString path;           // the catalogue file
    QString databaseName;   // the path, or a "file:" URI (CatalogueOpening)
    QString connectOptions;
    QString keyword;
    SearchMode mode = SearchMode::PackageName;
};

// How a search ended and, when it found rows, the rows.
struct SearchOutcome
{
    enum class End { Rows, SqlError, NoFileLists, OlderCatalogue, TooLarge, Stopped };
    End end = End::Stopped;
    QStringList titles;      // the column titles
    QVector<QVariant> cells; // row after row, titles.size() cells each
    CatalogueError error;    // for SqlError
    // Rows past the first eagerPathRows have their 匹配文件 cell NULL until findPaths()
    // works it out; the worker keeps the search for that until the next one.
    bool pathsLater = false;
    // File-name searches: how many files matched in all, or -1 where the engine found the
    // packages without counting their files.
    qint64 fileCount = -1;
};
Q_DECLARE_METATYPE(SearchOutcome)
Q_DECLARE_METATYPE(SearchRequest)

// The finder's searches, one after the other, on a thread of their own (the worker is
// moved to it) through one connection of its own to the catalogue, so that the window
// never waits for SQLite. The window numbers each piece of work it asks for (a search, a
// batch of paths) in increasing order and asks for it through ask*(), which may be called
// from any thread: each posts the request to the worker's thread through a queued signal
// of the worker's own; answers come back as signals carrying that number. stopUpTo() may
// be called from any thread.
class SearchWorker : public QObject
{
    Q_OBJECT

public:
    // No search keeps more than this in rows, nor reads a cell longer than this: no real
    // catalogue comes near either, and a damaged or hostile one must not take the memory.
    static constexpr qint64 maxRowBytes = qint64(1) << 30;
    static constexpr int maxCellChars = 1 << 20;
    // A file-name search works out this many first paths before it ends: a first screen
    // and more, and every row of a small result.
    static constexpr int eagerPathRows = 64;

    SearchWorker();
    ~SearchWorker() override;

    // Ends every piece of work numbered up to `work`: a statement of it that runs is
    // interrupted, and work of it not yet started ends at once.
    void stopUpTo(quint64 work);

    // A search; ends with searchEnded(work, ...), after statementReady when the search
    // got as far as its statement.
    void search(quint64 work, const SearchRequest &request);
    // The first matching paths of these packages of search `searchWork`, answered by
    // pathsFound in batches; ids that a stop left undone come back without a path.
    void findPaths(quint64 searchWork, quint64 work, const QVector<qint64> &ids);
    // The tooltips of these packages' 匹配文件 cells (MatchTooltip) for search
    // `searchWork`, answered by matchesFound like findPaths.
    void findMatches(quint64 searchWork, quint64 work, const QVector<qint64> &ids);
    // Closes the connection (before the thread ends).
    void closeCatalogue();

    // search(), findPaths() and findMatches() asked for from another thread: each runs on
    // the worker's thread once what is before it there is done.
    void askSearch(quint64 work, const SearchRequest &request);
    void askPaths(quint64 searchWork, quint64 work, const QVector<qint64> &ids);
    void askMatches(quint64 searchWork, quint64 work, const QVector<qint64> &ids);

signals:
    void searchAsked(quint64 work, const SearchRequest &request);
    void pathsAsked(quint64 searchWork, quint64 work, const QVector<qint64> &ids);
    void matchesAsked(quint64 searchWork, quint64 work, const QVector<qint64> &ids);
    void statementReady(quint64 work, const QString &statement);
    void searchEnded(quint64 work, const SearchOutcome &outcome);
    // paths[i] is the first path of ids[i]; ids past paths.size() were not worked out.
    void pathsFound(quint64 searchWork, const QVector<qint64> &ids, const QStringList &paths);
    void matchesFound(quint64 searchWork, const QVector<qint64> &ids, const QStringList &tooltips);
    // After a search that found no rows: what the status bar may offer instead.
    void hintReady(quint64 work, const SearchHint &hint);

private:
    bool stopping() const;
    void begin(quint64 work);
    void attach(sqlite3 *handle);
    void run(quint64 work, const SearchRequest &request, SearchOutcome &outcome);
    void searchPackages(quint64 work, const QString &keyword, SearchOutcome &outcome);
    void searchFiles(quint64 work, const QString &keyword, SearchOutcome &outcome);
    bool fillEagerPaths(FileSearch &search, SearchOutcome &outcome);
    void fail(SearchOutcome &outcome, const CatalogueError &error);
    CatalogueError engineError(const std::exception &e) const;

    std::unique_ptr<CatalogueConnection> connection;
    std::unique_ptr<FileSearch> fileSearch; // the last file-name search, for its later paths
    quint64 fileSearchWork = 0;

    std::atomic<quint64> stoppedUpTo{0};
    std::mutex handleMutex; // guards handle and activeWork against stopUpTo()
    sqlite3 *handle = nullptr;
    quint64 activeWork = 0;
};

#endif // SEARCHWORKER_H
