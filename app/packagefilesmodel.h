#ifndef PACKAGEFILESMODEL_H
#define PACKAGEFILESMODEL_H

#include <QAbstractListModel>
#include <QIcon>
#include <QStringList>

// A package's files, one full path a row, read-only. The first matchedCount() rows are
// the files a file-name search matched; they show bold, with a check mark.
class PackageFilesModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int MatchedRole = Qt::UserRole + 1;

    explicit PackageFilesModel(QObject *parent = nullptr);

    void setFiles(QStringList paths, int matched);
    int matchedCount() const { return matched; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QStringList paths;
    int matched = 0;
    QIcon mark;
};

#endif // PACKAGEFILESMODEL_H
