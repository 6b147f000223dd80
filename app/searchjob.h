#ifndef SEARCHJOB_H
#define SEARCHJOB_H

#include "searchstatement.h"

#include <QMutex>
#include <QWaitCondition>
#include <QSqlError>
#include <QStringList>
#include <QThread>
#include <QVariant>
#include <QVector>

#include <atomic>

class QSqlDatabase;
class QSqlQuery;
struct sqlite3;

// What one search asks for: the catalogue as the window's connection names it, and the keyword.
struct SearchRequest
{
    QString databaseName;
    QString connectOptions;
    QString keyword;
    SearchMode mode = SearchMode::PackageName;
};

// How a search ended and, when it found rows, the rows.
struct SearchOutcome
{
    enum class End { Rows, SqlError, NoFileLists, TooLarge, Stopped };
    End end = End::Stopped;
    QStringList titles;      // the statement's column names
    QVector<QVariant> cells; // row after row, titles.size() cells each
    QSqlError error;         // for SqlError
    // Rows past the first eagerPathRows have their 匹配文件 cell NULL until firstPaths()
    // works it out; the job keeps its connection for that until release().
    bool pathsLater = false;
};

// One search on a thread of its own, through a connection of its own to the catalogue
// file, so that the window keeps repainting and answering input while SQLite works.
// stop() may be called from any thread: it interrupts the running statement.
class SearchJob : public QThread
{
    Q_OBJECT

public:
    // No search keeps more than this in rows, nor reads a cell longer than this: no real
    // catalogue comes near either, and a damaged or hostile one must not take the memory.
    static constexpr qint64 maxRowBytes = qint64(1) << 30;
    static constexpr int maxCellChars = 1 << 20;
    // A file-name search that goes package by package works out this many first paths
    // before it ends: a first screen and more, and every row of a small result.
    static constexpr int eagerPathRows = 64;

    SearchJob(const SearchRequest &request, QObject *parent);
    ~SearchJob() override;

    void stop();
    bool isStopped() const { return stopped.load(); }
    bool hasEnded() const { return ended.load(); }
    // Read once the search has ended.
    SearchOutcome takeOutcome() { return std::move(outcome); }

    // The first matching paths of these packages, from the thread's own connection; waits
    // for them. Empty once the job is released or stopped.
    QStringList firstPaths(const QVector<qint64> &packageIds);
    // No more paths are wanted: the connection closes and the thread ends.
    void release();

signals:
    // The statement that the search runs, once the catalogue's schema has decided it.
    void statementReady(const QString &statement);
    // The outcome is ready; the thread may go on serving firstPaths().
    void searchEnded();

protected:
    void run() override;

private:
    void search(const QSqlDatabase &db);
    FilePlan choosePlan(const QSqlDatabase &db, const CatalogueFeatures &features);
    bool readRows(QSqlQuery &query);
    bool fillEagerPaths(const QSqlDatabase &db);
    void endSearch();
    void servePaths(const QSqlDatabase &db);
    void setHandle(sqlite3 *handle);

    const SearchRequest request;
    SearchOutcome outcome;
    QMutex handleMutex;
    sqlite3 *handle = nullptr; // the running connection's, for sqlite3_interrupt
    std::atomic<bool> stopped{false};
    std::atomic<bool> ended{false};

    // firstPaths() hands its ids to the thread and waits for the answer.
    QMutex pathMutex;
    QWaitCondition pathWanted;
    QWaitCondition pathReady;
    QVector<qint64> pathRequest;
    QStringList pathAnswer;
    bool answered = false;
    bool released = false;
    bool serving = false;
};

#endif // SEARCHJOB_H
