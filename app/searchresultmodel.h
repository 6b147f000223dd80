#ifndef SEARCHRESULTMODEL_H
#define SEARCHRESULTMODEL_H

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>

// The rows of one finished search, read-only: the columns are titled with the
// statement's column names, the cells hold what SQLite gave. A file-name search that
// matched many packages leaves the last column's cells NULL: they are asked of
// `laterCells` (by the first column's package id) when a view or a copy first reads them.
class SearchResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using CellSource = std::function<QStringList(const QVector<qint64> &packageIds)>;

    SearchResultModel(const QStringList &titles, QVector<QVariant> cells, QObject *parent = nullptr);
    ~SearchResultModel() override;

    // The source of the cells left NULL, and what to call when the model goes.
    void setLaterCells(CellSource source, std::function<void()> release);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void fetchLaterCells(int row) const;

    const QStringList titles;
    mutable QVector<QVariant> cells;
    CellSource laterCells;
    std::function<void()> releaseLaterCells;
};

#endif // SEARCHRESULTMODEL_H
