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
    endResetModel();
}

int PackageFilesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : paths.size();
}

QVariant PackageFilesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return QVariant();
    }
    const bool isMatch = index.row() < matched;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return paths.at(index.row());
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
