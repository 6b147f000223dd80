#include "packagedetails.h"
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
    for (const std::string &path : paths) {
        list << QString::fromUtf8(path.data(), int(path.size()));
    }
    return list;
}

} // namespace

PackageDetails PackageDetails::read(CatalogueConnection &connection, const PackageDetailsRequest &request,
                                    const std::function<bool()> &stop)
{
    PackageDetails details;
    details.work = request.work;
    details.packages = InstalledPackages::system();
    CatalogueError error;
    if (!connection.open(request.path, request.databaseName, request.connectOptions)) {
        details.catalogueError = connection.error().text();
    } else if (!PackageInfo::read(connection.handle(), request.package, details.info, &error)) {
        details.catalogueError = error.text();
    }
    if (details.info.found) {
        details.readFiles(connection, request, stop);
        details.packages.versionsOf(details.info.name, details.installed, &details.installedError);
    }
    return details;
}

// Every file of the package; the ones a file-name search matched come first.
void PackageDetails::readFiles(CatalogueConnection &connection, const PackageDetailsRequest &request,
                               const std::function<bool()> &stop)
{
    const CatalogueFeatures features = connection.features();
    if (features.error.isValid() || !features.refusal.isEmpty()) {
        filesError = features.error.isValid() ? features.error.text() : features.refusal;
        return;
    }
    if (!features.fileLists) {
        files = features.olderKind ? Files::OlderCatalogue : Files::NoFileLists;
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const auto pkg = uint32_t(info.found ? request.package : 0);
    try {
        std::vector<std::string> all = packageFiles(connection.handle(), pkg);
        std::vector<std::string> matches;
        if (!request.fileKeyword.isEmpty()) {
            const QByteArray keyword = request.fileKeyword.toUtf8();
            FileSearch search(connection.handle(), std::string(keyword.constData(), size_t(keyword.size())), stop);
            matches = search.matchingFiles(pkg, all.size());
        }
        std::vector<std::string> rest;
        rest.reserve(all.size() - std::min(all.size(), matches.size()));
        std::set_difference(all.begin(), all.end(), matches.begin(), matches.end(), std::back_inserter(rest));
        paths = toStrings(matches) + toStrings(rest);
        matched = int(matches.size());
        files = Files::Listed;
    } catch (const std::exception &e) {
        filesError = QString::fromUtf8(e.what());
    }
    filesMs = clock.elapsed();
}
