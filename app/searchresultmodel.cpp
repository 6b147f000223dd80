#include "searchresultmodel.h"

namespace {
// Cells asked for together: about a screenful, so that scrolling asks once a page.
const int cellBatch = 64;
} // namespace

SearchResultModel::SearchResultModel(const QStringList &titles, QVector<QVariant> cells, QObject *parent)
    : QAbstractTableModel(parent)
    , titles(titles)
    , cells(std::move(cells))
{
}

SearchResultModel::~SearchResultModel()
{
    if (releaseLaterCells)
        releaseLaterCells();
}

void SearchResultModel::setLaterCells(CellSource source, std::function<void()> release)
{
    laterCells = std::move(source);
    releaseLaterCells = std::move(release);
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
    const int at = index.row() * titles.size() + index.column();
    if (laterCells && index.column() == titles.size() - 1 && cells.at(at).isNull())
        fetchLaterCells(index.row());
    return cells.at(at);
}

// Works out the NULL cells of this row and of the rows after it, up to a batch; a cell
// the source could not give stays empty rather than being asked for again.
void SearchResultModel::fetchLaterCells(int row) const
{
    const int columns = titles.size();
    QVector<int> rows;
    QVector<qint64> ids;
    for (int r = row; r < rowCount() && rows.size() < cellBatch; ++r) {
        if (!cells.at(r * columns + columns - 1).isNull())
            continue;
        rows << r;
        ids << cells.at(r * columns).toLongLong();
    }
    const QStringList paths = laterCells(ids);
    for (int i = 0; i < rows.size(); ++i)
        cells[rows.at(i) * columns + columns - 1] = i < paths.size() ? paths.at(i) : QString(QLatin1String(""));
}

QVariant SearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < titles.size())
        return titles.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
