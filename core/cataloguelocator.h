#ifndef CATALOGUELOCATOR_H
#define CATALOGUELOCATOR_H

#include <QString>
#include <QStringList>

// Where the finder looks for its catalogue, in order: the working folder (a catalogue
// there always wins), the user's cache, then the system's cache that the Debian package
// keeps fresh. The first place where a file exists is the catalogue; an unreadable file
// there is reported, not passed over for the next place.
class CatalogueLocator
{
public:
    explicit CatalogueLocator(const QStringList &places);

    // The places the finder uses: os_pkg_list.db in the working folder, then
    // userCataloguePath(), then systemCataloguePath(), unless overridden.
    static CatalogueLocator standard();
    // Replaces the standard places for this process, so that tests see catalogues of
    // their own instead of the machine's; an empty list restores the real places.
    static void overrideStandardPlaces(const QStringList &places);
    // ${XDG_CACHE_HOME:-$HOME/.cache}/quorvi/os_pkg_list.db; a relative XDG_CACHE_HOME is
    // ignored, as the XDG base directory rules ask.
    static QString userCataloguePath();
    static QString systemCataloguePath();
    static QString catalogueFileName();

    QStringList places() const { return placeList; }
    // The command that makes the catalogue at this path anew: the user's or the system's
    // own, or for any other place one that writes os_pkg_list.db in the working folder.
    QString rebuildCommand(const QString &catalogue) const;
    // The first place that holds a file (or anything else that exists there), or an
    // empty string when none does.
    QString find() const;

private:
    QStringList placeList;
};

#endif // CATALOGUELOCATOR_H
