#ifndef PACKAGEDETAILSLOADER_H
#define PACKAGEDETAILSLOADER_H

#include "installedpackages.h"
#include "packageinfo.h"

#include <QMetaType>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>

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
    // The row as the result showed it ("name-ver-rel.arch"): a catalogue replaced since
    // the search may give the id to another package. Empty: not checked.
    QString shownName;
    int maxFiles = 200000; // files made into paths at most; the rest are only counted
    quint64 work = 0;    // numbered by the window, increasing
};

// Everything the details window shows of one package.
struct PackageDetails
{
    enum class Files { Listed, NoFileLists, OlderCatalogue, Failed };
    quint64 work = 0;
    PackageInfo info;
    bool replaced = false;  // the id names another package than the search showed
    QString catalogueError; // the catalogue could not be read at all
    Files files = Files::Failed;
    QStringList paths;      // the matched files first, then the others, each part sorted
    int matched = 0;
    qint64 unlisted = 0;    // files beyond the request's maxFiles, counted, not listed
    QString filesError;
    qint64 filesMs = 0;     // how long reading (and matching) the files took
    InstalledPackages packages;
    QVector<InstalledPackages::Installed> installed;
    QString installedError;
};
Q_DECLARE_METATYPE(PackageDetails)
Q_DECLARE_METATYPE(PackageDetailsRequest)

// Reads a package's details on a thread of its own (the object is moved to it), so that
// a package of a hundred thousand files never holds up the window: its catalogue row and
// details, its files through the file search engine, and whether it is installed here,
// read at that moment. A request that a newer one has replaced is skipped; stopUpTo()
// may be called from any thread.
class PackageDetailsLoader : public QObject
{
    Q_OBJECT

public:
    PackageDetailsLoader();
    ~PackageDetailsLoader() override;

    void stopUpTo(quint64 work);
    Q_INVOKABLE void load(const PackageDetailsRequest &request);

signals:
    void loaded(const PackageDetails &details);

private:
    bool stopped(quint64 work) const { return work <= stoppedUpTo.load(); }
    void readFiles(const PackageDetailsRequest &request, PackageDetails &details);

    std::unique_ptr<CatalogueConnection> connection;
    std::atomic<quint64> stoppedUpTo{0};
};

#endif // PACKAGEDETAILSLOADER_H
