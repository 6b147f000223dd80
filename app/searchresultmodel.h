#ifndef SEARCHRESULTMODEL_H
#define SEARCHRESULTMODEL_H

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The rows of one finished search, read-only: the columns are titled with the
// statement's column names, the cells hold what SQLite gave.
class SearchResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    SearchResultModel(const QStringList &titles, QVector<QVariant> cells, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const QStringList titles;
    const QVector<QVariant> cells;
};

#endif // SEARCHRESULTMODEL_H
