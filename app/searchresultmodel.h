#ifndef SEARCHRESULTMODEL_H
#define SEARCHRESULTMODEL_H

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The rows of one finished search, read-only: the columns are titled as the search
// titled them, the cells hold what SQLite gave. A file-name search that matched many
// packages leaves the last column's cells NULL: the first time a view reads such a cell,
// the model asks for the paths of that row and the rows after it (pathsWanted, by package
// id) and shows a placeholder until addPaths() brings them.
class SearchResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Shown in a path cell whose path is not known yet.
    static const QString pendingPath;

    SearchResultModel(const QStringList &titles, QVector<QVariant> cells, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The package ids of these rows whose paths are not known yet; asking for them is
    // left to the caller (they count as asked for from now on).
    QVector<qint64> takeUnknownPaths(const QList<int> &rows);
    // How many of these rows have no known path yet.
    int unknownPaths(const QList<int> &rows) const;

public slots:
    // paths[i] is the path of package ids[i]; the ids past paths.size() were not worked
    // out and are asked for again when next shown.
    void addPaths(const QVector<qint64> &ids, const QStringList &paths);
    // tooltips[i] is the 匹配文件 tooltip of package ids[i] (its matching files); asked
    // for (matchesWanted) as rows are shown, and the ids past tooltips.size() again later.
    void addMatches(const QVector<qint64> &ids, const QStringList &tooltips);

signals:
    void pathsWanted(const QVector<qint64> &ids) const;
    void matchesWanted(const QVector<qint64> &ids) const;
    void pathsAdded();

private:
    bool isUnknownPath(int row) const;
    int rowOf(qint64 id) const;
    void askFrom(int row) const;
    void askMatchesFrom(int row) const;

    const QStringList titles;
    QVector<QVariant> cells;
    mutable QVector<bool> asked; // per row: its path has been asked for
    mutable QVector<bool> matchesAsked; // per row: its tooltip has been asked for
    QStringList tooltips;               // per row of a file-name search; null until known
};

#endif // SEARCHRESULTMODEL_H
