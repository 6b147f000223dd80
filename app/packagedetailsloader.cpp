#include "packagedetailsloader.h"
#include "threadhandoff.h"
#include "catalogueconnection.h"
#include "rpminstalled.h"

PackageDetailsLoader::PackageDetailsLoader()
    : connection(std::make_unique<CatalogueConnection>())
{
    RpmInstalled::install();
    qRegisterMetaType<PackageDetails>();
    qRegisterMetaType<PackageDetailsRequest>();
    connect(this, &PackageDetailsLoader::loadAsked, this, &PackageDetailsLoader::load, Qt::QueuedConnection);
}

void PackageDetailsLoader::askLoad(const PackageDetailsRequest &request)
{
    ThreadHandoff::post();
    emit loadAsked(request);
}

PackageDetailsLoader::~PackageDetailsLoader() = default;

void PackageDetailsLoader::stopUpTo(quint64 work)
{
    quint64 stopped = stoppedUpTo.load();
    while (stopped < work && !stoppedUpTo.compare_exchange_weak(stopped, work)) {
    }
}

void PackageDetailsLoader::load(const PackageDetailsRequest &request)
{
    if (stopped(request.work)) {
        return;
    }
    const quint64 work = request.work;
    const PackageDetails details = PackageDetails::read(*connection, request, [this, work] { return stopped(work); });
    if (!stopped(request.work)) {
        ThreadHandoff::post();
        emit loaded(details);
    }
}
