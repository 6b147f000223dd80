#include "cataloguelocator.h"

#include <cataloguepaths.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QStringList &standardOverride()
{
    static QStringList places;
    return places;
}
} // namespace

CatalogueLocator::CatalogueLocator(const QStringList &places)
    : placeList(places)
{
}

CatalogueLocator CatalogueLocator::standard()
{
    if (!standardOverride().isEmpty()) {
        return CatalogueLocator(standardOverride());
    }
    return CatalogueLocator({catalogueFileName(), userCataloguePath(), systemCataloguePath()});
}

void CatalogueLocator::overrideStandardPlaces(const QStringList &places)
{
    standardOverride() = places;
}

QString CatalogueLocator::catalogueFileName()
{
    return QString::fromUtf8(CataloguePaths::fileName());
}

// The rule is the builder's (CataloguePaths), with Qt's idea of the home folder (it falls
// back to the root where HOME is unset) and the path cleaned for display.
QString CatalogueLocator::userCataloguePath()
{
    const QByteArray cache = qgetenv("XDG_CACHE_HOME");
    const QByteArray home = QFile::encodeName(QDir::homePath());
    return QDir::cleanPath(QFile::decodeName(
        CataloguePaths::userPath(cache.isNull() ? nullptr : cache.constData(), home.constData()).c_str()));
}

QString CatalogueLocator::systemCataloguePath()
{
    return QFile::decodeName(CataloguePaths::systemPath());
}

QString CatalogueLocator::find() const
{
    for (const QString &place : placeList) {
        // A dangling link counts as there too: it is reported rather than skipped.
        const QFileInfo info(place);
        if (info.exists() || info.isSymLink()) {
            return place;
        }
    }
    return QString();
}

// The standard places are the working folder, the user's cache and the system's cache.
QString CatalogueLocator::rebuildCommand(const QString &catalogue) const
{
    const QString path = QFileInfo(catalogue).absoluteFilePath();
    if (placeList.size() == 3 && path == QFileInfo(placeList.at(1)).absoluteFilePath()) {
        return QStringLiteral("quorvi-catalog --user");
    }
    if (placeList.size() == 3 && path == QFileInfo(placeList.at(2)).absoluteFilePath()) {
        return QStringLiteral("sudo quorvi-catalog --system");
    }
    return QStringLiteral("quorvi-catalog -o os_pkg_list.db --apt-lists /var/lib/apt/lists");
}
