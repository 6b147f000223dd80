#ifndef PACKAGEDETAILS_H
#define PACKAGEDETAILS_H

#include "installedpackages.h"
#include "packageinfo.h"

#include <QMetaType>
#include <QStringList>

#include <functional>

class CatalogueConnection;

// Which package to show, and from where: the catalogue file of the search whose row it
// is (opened as that search opened it) and, for a file-name search, its keyword.
struct PackageDetailsRequest
{
    QString path;
    QString databaseName;
    QString connectOptions;
    QString fileKeyword; // empty for a package-name search
    qint64 package = 0;
    quint64 work = 0;    // numbered by the window, increasing
};

// Everything the details window shows of one package: its catalogue row and details, its
// files through the file search engine (the ones the file-name keyword matches first),
// and whether it is installed here, read at that moment.
struct PackageDetails
{
    enum class Files { Listed, NoFileLists, OlderCatalogue, Failed };
    quint64 work = 0;
    PackageInfo info;
    QString catalogueError; // the catalogue could not be read at all
    Files files = Files::Failed;
    QStringList paths;      // the matched files first, then the others, each part sorted
    int matched = 0;
    QString filesError;
    qint64 filesMs = 0;     // how long reading (and matching) the files took
    InstalledPackages packages;
    QVector<InstalledPackages::Installed> installed;
    QString installedError;

    // Reads the request's package through `connection` (opened as the request says);
    // stop is asked while the files are matched.
    static PackageDetails read(CatalogueConnection &connection, const PackageDetailsRequest &request,
                               const std::function<bool()> &stop = {});

private:
    void readFiles(CatalogueConnection &connection, const PackageDetailsRequest &request,
                   const std::function<bool()> &stop);
};
Q_DECLARE_METATYPE(PackageDetails)
Q_DECLARE_METATYPE(PackageDetailsRequest)

#endif // PACKAGEDETAILS_H
