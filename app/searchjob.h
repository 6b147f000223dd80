#ifndef SEARCHJOB_H
#define SEARCHJOB_H

#include "searchstatement.h"

#include <QMutex>
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
    static const qint64 maxRowBytes = qint64(1) << 30;
    static const int maxCellChars = 1 << 20;

    SearchJob(const SearchRequest &request, QObject *parent);
    ~SearchJob() override;

    void stop();
    bool isStopped() const { return stopped.load(); }
    // Read once the thread has finished.
    SearchOutcome takeOutcome() { return std::move(outcome); }

signals:
    // The statement that the search runs, once the catalogue's schema has decided it.
    void statementReady(const QString &statement);

protected:
    void run() override;

private:
    void search(const QSqlDatabase &db);
    bool readRows(QSqlQuery &query);
    void setHandle(sqlite3 *handle);

    const SearchRequest request;
    SearchOutcome outcome;
    QMutex handleMutex;
    sqlite3 *handle = nullptr; // the running connection's, for sqlite3_interrupt
    std::atomic<bool> stopped{false};
};

#endif // SEARCHJOB_H
