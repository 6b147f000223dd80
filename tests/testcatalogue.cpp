// Catalogues for the finder's tests, made the way users get them: by the builder's
// writer or by the quorvi-catalog program itself.

#include "cataloguefixtures.h"

#include "cataloguewriter.h"
#include "fileindex.h"
#include "packageindex.h"

#include <catalogueschema.h>

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUuid>

#include <memory>

namespace {

// Writes path afresh with the real writer; files null for a catalogue without file lists.
void writeWithBuilderWriter(const QString &path, const PackageIndex &packages,
                            const QList<CatalogueFile> *files)
{
    FileIndex index;
    if (files) {
        for (const CatalogueFile &file : *files) {
            FileIndex::PathIds ids;
            QVERIFY2(index.intern(file.path.toStdString(), ids), qPrintable("no file name: " + file.path));
            index.link(uint32_t(file.packageId), ids);
        }
        index.finish();
    }
    // The writer fills an existing empty file, as the builder's temporary one.
    QFile::remove(path);
    QFile fresh(path);
    QVERIFY2(fresh.open(QIODevice::WriteOnly), qPrintable(path + ": " + fresh.errorString()));
    fresh.close();
    try {
        CatalogueWriter::write(path.toStdString(), packages, files ? &index : nullptr);
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
}

// The packages of the catalogue at path, which must have ids 1..N.
void readPackages(const QString &path, PackageIndex &packages)
{
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QSqlQuery query(db);
        QVERIFY2(query.exec(QStringLiteral("SELECT " QV_PKG_ID ", " QV_PKG_NAME ", " QV_PKG_VER ", " QV_PKG_REL
                                           ", " QV_PKG_ARCH " FROM " QV_PKG_TABLE " ORDER BY " QV_PKG_ID)),
                 qPrintable(path + ": " + query.lastError().text()));
        while (query.next()) {
            const uint32_t id = packages.add(query.value(1).toString().toStdString(),
                                             query.value(2).toString().toStdString(),
                                             query.value(3).toString().toStdString(),
                                             query.value(4).toString().toStdString());
            QVERIFY2(id == query.value(0).toUInt(), "the package ids are not 1..N, each package once");
        }
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

void execOnCatalogue(const QString &path, const QStringList &statements)
{
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QSqlQuery query(db);
        db.transaction();
        for (const QString &statement : statements)
            QVERIFY2(query.exec(statement), qPrintable(statement + ": " + query.lastError().text()));
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void writeCatalogue(const QString &path, const QList<CataloguePackage> &packages)
{
    PackageIndex index;
    for (const CataloguePackage &p : packages) {
        const uint32_t id = index.add(p.name.toStdString(), p.ver.toStdString(), p.rel.toStdString(),
                                      p.arch.toStdString());
        QVERIFY2(id == index.size(), qPrintable("package listed twice: " + p.name));
    }
    writeWithBuilderWriter(path, index, nullptr);
}

void writeFileLists(const QString &path, const QList<CatalogueFile> &files)
{
    PackageIndex packages;
    readPackages(path, packages);
    if (QTest::currentTestFailed()) {
        return;
    }
    writeWithBuilderWriter(path, packages, &files);
}

