#include "packagefilesmodel.h"

#include <QApplication>
#include <QFont>
#include <QStyle>

PackageFilesModel::PackageFilesModel(QObject *parent)
    : QAbstractListModel(parent)
    , mark(QApplication::style()->standardIcon(QStyle::SP_DialogApplyButton))
{
}

void PackageFilesModel::setFiles(QStringList newPaths, int newMatched)
{
    beginResetModel();
    paths = std::move(newPaths);
    matched = qBound(0, newMatched, paths.size());
    filter.clear();
    shown.clear();
    endResetModel();
}

void PackageFilesModel::setFilter(const QString &text)
{
    beginResetModel();
    filter = text;
    shown.clear();
    if (!filter.isEmpty()) {
        for (int i = 0; i < paths.size(); ++i) {
            if (paths.at(i).contains(filter, Qt::CaseInsensitive)) {
                shown.append(i);
            }
        }
    }
    endResetModel();
}

int PackageFilesModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid()) {
        return 0;
    }
    return filter.isEmpty() ? paths.size() : shown.size();
}

QVariant PackageFilesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    const int at = pathIndex(index.row());
    const bool isMatch = at < matched;
    switch (role) {
    case Qt::DisplayRole:
        return paths.at(at);
    case MatchedRole:
        return isMatch;
    case Qt::FontRole:
        if (isMatch) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return QVariant();
    case Qt::DecorationRole:
        return isMatch ? QVariant(mark) : QVariant();
    default:
        return QVariant();
    }
}
