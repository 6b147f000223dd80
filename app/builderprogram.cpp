#include "builderprogram.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString BuilderProgram::name()
{
    return QStringLiteral("quorvi-catalog");
}

QStringList BuilderProgram::fixedPlaces(const QString &finderDir)
{
    const QDir dir(finderDir);
    return {QDir::cleanPath(dir.filePath(name())),
            QDir::cleanPath(dir.filePath(QStringLiteral("../catalog/") + name()))};
}

QString BuilderProgram::find(const QString &finderDir)
{
    for (const QString &place : fixedPlaces(finderDir)) {
        const QFileInfo program(place);
        if (program.isFile() && program.isExecutable()) {
            return program.absoluteFilePath();
        }
    }
    return QStandardPaths::findExecutable(name());
}

QStringList BuilderProgram::placesLooked(const QString &finderDir)
{
    QStringList places;
    for (const QString &place : fixedPlaces(finderDir)) {
        places << QDir::toNativeSeparators(place);
    }
    const QString path = qEnvironmentVariable("PATH");
    places << QStringLiteral("PATH：%1").arg(path.isEmpty() ? QStringLiteral("（空）") : path);
    return places;
}
