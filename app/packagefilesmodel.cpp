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
    foldedPaths.clear();
    foldedPaths.reserve(paths.size());
    for (const QString &path : qAsConst(paths)) {
        foldedPaths << path.toCaseFolded();
    }
    matched = qBound(0, newMatched, paths.size());
    filter.clear();
    foldedFilter.clear();
    shown.clear();
    endResetModel();
}

void PackageFilesModel::setFilter(const QString &text)
{
    const QString folded = text.toCaseFolded();
    // Every path the longer filter lets through, the shorter one let through too.
    const bool narrowing = !foldedFilter.isEmpty() && folded.contains(foldedFilter);
    beginResetModel();
    QVector<int> kept;
    if (!folded.isEmpty()) {
        const int candidates = narrowing ? shown.size() : paths.size();
        for (int c = 0; c < candidates; ++c) {
            const int i = narrowing ? shown.at(c) : c;
            if (foldedPaths.at(i).contains(folded)) {
                kept.append(i);
            }
        }
    }
    filter = text;
    foldedFilter = folded;
    shown = std::move(kept);
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
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return QVariant();
    }
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
