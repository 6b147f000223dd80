#include "searchresultmodel.h"

#include <algorithm>

namespace {
// Paths asked for together: about a screenful, so that scrolling asks once a page.
const int pathRequestRows = 64;
} // namespace

const QString SearchResultModel::pendingPath = QStringLiteral("…");

SearchResultModel::SearchResultModel(const QStringList &titles, QVector<QVariant> cells, QObject *parent)
    : QAbstractTableModel(parent)
    , titles(titles)
    , cells(std::move(cells))
    , asked(rowCount(), false)
    , matchesAsked(titles.size() == 3 ? rowCount() : 0, false)
{
    if (titles.size() == 3) {
        tooltips.reserve(rowCount());
    }
    for (int row = 0; row < matchesAsked.size(); ++row)
        tooltips << QString();
}

int SearchResultModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || titles.isEmpty()) {
        return 0;
    }
    return cells.size() / titles.size();
}

int SearchResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : titles.size();
}

// Only the path column of a file-name search (three columns) is ever left NULL.
bool SearchResultModel::isUnknownPath(int row) const
{
    return titles.size() == 3 && cells.at(row * 3 + 2).isNull();
}

QVariant SearchResultModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return QVariant();
    }
    // A path cell's tooltip is asked for as soon as the cell is shown.
    if (index.column() == 2 && !matchesAsked.isEmpty() && (role == Qt::DisplayRole || role == Qt::ToolTipRole)) {
        if (!matchesAsked.at(index.row())) {
            askMatchesFrom(index.row());
        }
        if (role == Qt::ToolTipRole) {
            return tooltips.at(index.row()).isNull() ? QVariant() : tooltips.at(index.row());
        }
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole) {
        return QVariant();
    }
    if (index.column() == 2 && isUnknownPath(index.row())) {
        if (!asked.at(index.row())) {
            askFrom(index.row());
        }
        return pendingPath;
    }
    return cells.at(index.row() * titles.size() + index.column());
}

// Asks for the unknown paths of this row and of the rows after it, up to a batch.
void SearchResultModel::askFrom(int row) const
{
    QVector<qint64> ids;
    for (int r = row; r < rowCount() && ids.size() < pathRequestRows; ++r) {
        if (!isUnknownPath(r) || asked.at(r)) {
            continue;
        }
        asked[r] = true;
        ids << cells.at(r * 3).toLongLong();
    }
    if (!ids.isEmpty()) {
        emit pathsWanted(ids);
    }
}

void SearchResultModel::askMatchesFrom(int row) const
{
    QVector<qint64> ids;
    for (int r = row; r < rowCount() && ids.size() < pathRequestRows; ++r) {
        if (matchesAsked.at(r)) {
            continue;
        }
        matchesAsked[r] = true;
        ids << cells.at(r * 3).toLongLong();
    }
    if (!ids.isEmpty()) {
        emit matchesWanted(ids);
    }
}

QVector<qint64> SearchResultModel::takeUnknownPaths(const QList<int> &rows)
{
    QVector<qint64> ids;
    for (const int row : rows) {
        if (row < 0 || row >= rowCount() || !isUnknownPath(row)) {
            continue;
        }
        asked[row] = true;
        ids << cells.at(row * 3).toLongLong();
    }
    return ids;
}

int SearchResultModel::unknownPaths(const QList<int> &rows) const
{
    return int(std::count_if(rows.begin(), rows.end(),
                             [this](int row) { return row >= 0 && row < rowCount() && isUnknownPath(row); }));
}

// File-name rows are ordered by package id.
int SearchResultModel::rowOf(qint64 id) const
{
    int low = 0;
    int high = rowCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (cells.at(middle * titles.size()).toLongLong() < id) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low < rowCount() && cells.at(low * titles.size()).toLongLong() == id ? low : -1;
}

void SearchResultModel::addPaths(const QVector<qint64> &ids, const QStringList &paths)
{
    if (titles.size() != 3) {
        return;
    }
    int first = rowCount();
    int last = -1;
    for (int i = 0; i < ids.size(); ++i) {
        const int row = rowOf(ids.at(i));
        if (row < 0 || !isUnknownPath(row)) {
            continue;
        }
        if (i >= paths.size()) {
            asked[row] = false;
            continue;
        }
        // A path is never NULL once known, so that it is not asked for again.
        cells[row * 3 + 2] = paths.at(i).isNull() ? QString(QLatin1String("")) : paths.at(i);
        first = qMin(first, row);
        last = qMax(last, row);
    }
    if (last >= 0) {
        emit dataChanged(index(first, 2), index(last, 2));
    }
    emit pathsAdded();
}

void SearchResultModel::addMatches(const QVector<qint64> &ids, const QStringList &texts)
{
    for (int i = 0; i < ids.size() && !matchesAsked.isEmpty(); ++i) {
        const int row = rowOf(ids.at(i));
        if (row < 0) {
            continue;
        }
        if (i < texts.size()) {
            tooltips[row] = texts.at(i);
        } else {
            matchesAsked[row] = false;
        }
    }
}

QVariant SearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < titles.size()) {
        return titles.at(section);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}
