#ifndef PACKAGEFILESMODEL_H
#define PACKAGEFILESMODEL_H

#include <QAbstractListModel>
#include <QIcon>
#include <QStringList>
#include <QVector>

// A package's files, one full path a row, read-only, narrowed by a filter text. The first
// matchedCount() paths are the files a file-name search matched; they show bold, with a
// check mark. The filter is one pass of a substring test over case-folded copies of the
// paths made once (a longer filter that contains the last one looks only at the rows it
// let through), and the view is reset once, instead of a proxy model's mapping of every
// row: a keystroke over a hundred thousand paths takes milliseconds.
class PackageFilesModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int MatchedRole = Qt::UserRole + 1;

    explicit PackageFilesModel(QObject *parent = nullptr);

    void setFiles(QStringList paths, int matched);
    // Shows only the paths that contain the text, regardless of case; empty shows all.
    void setFilter(const QString &text);
    int matchedCount() const { return matched; }
    int totalCount() const { return paths.size(); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    int pathIndex(int row) const { return filter.isEmpty() ? row : shown.at(row); }

    QStringList paths;
    QStringList foldedPaths; // paths.toCaseFolded(), for the filter
    int matched = 0;
    QString filter;       // as typed
    QString foldedFilter; // as compared
    QVector<int> shown; // with a filter: the indexes of the paths it lets through
    QIcon mark;
};

#endif // PACKAGEFILESMODEL_H
