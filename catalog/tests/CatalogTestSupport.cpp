#include "CatalogTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QtTest>

namespace CatalogTest {

QString dataPath(const QString &relative)
{
    return QStringLiteral(QUORVI_CATALOG_TESTDATA "/") + relative;
}

Run runBuilder(const QStringList &args, int timeoutMs)
{
    QProcess process;
    process.start(QStringLiteral(QUORVI_CATALOG_BIN), args);
    Run run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("timed out or failed to start");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QStringList query(const QString &dbPath, const QString &sql, bool readOnly)
{
    QStringList rows;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dbPath);
        if (readOnly)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            rows << QStringLiteral("<open failed: %1>").arg(db.lastError().text());
        } else {
            QSqlQuery q(db);
            if (!q.exec(sql))
                rows << QStringLiteral("<query failed: %1>").arg(q.lastError().text());
            while (q.next())
                rows << q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

QStringList packageRows(const QString &dbPath)
{
    return query(dbPath, QStringLiteral("SELECT name || '|' || ver || '|' || rel || '|' || arch"
                                        " FROM qv_pkg_list_t ORDER BY id"));
}

QStringList fileRows(const QString &dbPath)
{
    QStringList rows = query(dbPath, QStringLiteral(
        "SELECT p.name || '|' || p.arch || '|' || d.path || '/' || n.name"
        " FROM qv_pkg_file_t f JOIN qv_pkg_list_t p ON p.id = f.pkg_id"
        " JOIN qv_file_dir_t d ON d.id = f.dir_id JOIN qv_file_name_t n ON n.id = f.name_id"));
    rows.sort();
    return rows;
}

QStringList schemaNames(const QString &dbPath)
{
    return query(dbPath, QStringLiteral("SELECT name FROM sqlite_master"
                                        " WHERE type IN ('table', 'index') AND name LIKE 'qv_%'"
                                        " ORDER BY name"));
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList tempFilesOf(const QString &dir, const QString &base)
{
    return QDir(dir).entryList({QLatin1Char('.') + base + QStringLiteral(".tmp-*")},
                               QDir::Files | QDir::Hidden);
}

} // namespace CatalogTest
