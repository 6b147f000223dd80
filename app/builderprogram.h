#ifndef BUILDERPROGRAM_H
#define BUILDERPROGRAM_H

#include <QString>
#include <QStringList>

// Where the finder finds its catalogue builder quorvi-catalog: beside its own executable
// (both installed in one bin/ folder: /usr/bin, /usr/local/bin, ~/.local/bin), in the
// build tree's layout (build/app/quorvi beside build/catalog/quorvi-catalog), else the
// first on PATH.
class BuilderProgram
{
public:
    static QString name();
    // The fixed places for a finder in finderDir, in the order they are tried.
    static QStringList fixedPlaces(const QString &finderDir);
    // The builder's absolute path, or an empty string when there is none.
    static QString find(const QString &finderDir);
    // For a box that says where the finder looked: each fixed place, then the PATH line.
    static QStringList placesLooked(const QString &finderDir);
};

#endif // BUILDERPROGRAM_H
