#ifndef PACKAGEDETAILSLOADER_H
#define PACKAGEDETAILSLOADER_H

#include "packagedetails.h"

#include <QObject>

#include <atomic>
#include <memory>

class CatalogueConnection;

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
    void load(const PackageDetailsRequest &request);
    // load() asked for from another thread, through the loader's own queued signal.
    void askLoad(const PackageDetailsRequest &request);

signals:
    void loadAsked(const PackageDetailsRequest &request);
    void loaded(const PackageDetails &details);

private:
    bool stopped(quint64 work) const { return work <= stoppedUpTo.load(); }

    std::unique_ptr<CatalogueConnection> connection;
    std::atomic<quint64> stoppedUpTo{0};
};

#endif // PACKAGEDETAILSLOADER_H
