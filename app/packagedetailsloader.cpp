#include "packagedetailsloader.h"
#include "threadhandoff.h"
#include "catalogueconnection.h"

#include <QElapsedTimer>

#include <filesearch.h>

#include <algorithm>
#include <iterator>

namespace {

QStringList toStrings(const std::vector<std::string> &paths)
{
    QStringList list;
    list.reserve(int(paths.size()));
    for (const std::string &path : paths)
        list << QString::fromUtf8(path.data(), int(path.size()));
    return list;
}

// As the result table shows a package: "name-ver-rel.arch".
QString shownName(const PackageInfo &info)
{
    return info.name + QLatin1Char('-') + info.ver + QLatin1Char('-') + info.rel + QLatin1Char('.') + info.arch;
}

} // namespace

PackageDetailsLoader::PackageDetailsLoader()
    : connection(std::make_unique<CatalogueConnection>(
          QStringLiteral("quorvi-details-%1").arg(quintptr(this), 0, 16)))
{
    qRegisterMetaType<PackageDetails>();
    qRegisterMetaType<PackageDetailsRequest>();
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
    if (stopped(request.work))
        return;
    PackageDetails details;
    details.work = request.work;
    details.packages = InstalledPackages::system();
    QSqlError error;
    if (!connection->open(request.path, request.databaseName, request.connectOptions))
        details.catalogueError = connection->error().text();
    else if (!PackageInfo::read(connection->database(), request.package, details.info, &error))
        details.catalogueError = error.text();
    if (details.info.found && !request.shownName.isEmpty() && shownName(details.info) != request.shownName) {
        details.replaced = true;
        details.info = PackageInfo();
    }
    if (details.info.found) {
        readFiles(request, details);
        details.packages.versionsOf(details.info.name, details.installed, &details.installedError);
    }
    if (!stopped(request.work)) {
        ThreadHandoff::post();
        emit loaded(details);
    }
}

// Every file of the package; the ones a file-name search matched come first.
void PackageDetailsLoader::readFiles(const PackageDetailsRequest &request, PackageDetails &details)
{
    const CatalogueFeatures features = connection->features();
    if (features.error.isValid() || !features.refusal.isEmpty()) {
        details.filesError = features.error.isValid() ? features.error.text() : features.refusal;
        return;
    }
    if (!features.fileLists) {
        details.files = features.olderKind ? PackageDetails::Files::OlderCatalogue : PackageDetails::Files::NoFileLists;
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const quint64 work = request.work;
    const auto pkg = uint32_t(details.info.found ? request.package : 0);
    try {
        const size_t maxFiles = size_t(std::max(0, request.maxFiles));
        size_t total = 0;
        std::vector<std::string> all = packageFiles(connection->handle(), pkg, maxFiles,
                                                    [this, work] { return stopped(work); }, &total);
        details.unlisted = qint64(total - all.size());
        std::vector<std::string> matched;
        if (!request.fileKeyword.isEmpty()) {
            const QByteArray keyword = request.fileKeyword.toUtf8();
            FileSearch search(connection->handle(), std::string(keyword.constData(), size_t(keyword.size())),
                              [this, work] { return stopped(work); });
            matched = search.matchingFiles(pkg, maxFiles);
        }
        std::vector<std::string> rest;
        rest.reserve(all.size() - std::min(all.size(), matched.size()));
        std::set_difference(all.begin(), all.end(), matched.begin(), matched.end(), std::back_inserter(rest));
        details.paths = toStrings(matched) + toStrings(rest);
        details.matched = int(matched.size());
        details.files = PackageDetails::Files::Listed;
    } catch (const std::exception &e) {
        details.filesError = QString::fromUtf8(e.what());
    }
    details.filesMs = clock.elapsed();
}
