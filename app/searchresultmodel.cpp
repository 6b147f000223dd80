#include "searchresultmodel.h"

SearchResultModel::SearchResultModel(const QStringList &titles, QVector<QVariant> cells, QObject *parent)
    : QAbstractTableModel(parent)
    , titles(titles)
    , cells(std::move(cells))
{
}

int SearchResultModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || titles.isEmpty())
        return 0;
    return cells.size() / titles.size();
}

int SearchResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : titles.size();
}

QVariant SearchResultModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return cells.at(index.row() * titles.size() + index.column());
}

QVariant SearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < titles.size())
        return titles.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
