// A plain reference for file-name searches, and the engine's statement, for the finder's
// tests.

#include "cataloguefixtures.h"

#include <catalogueschema.h>
#include <filesearch.h>

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUuid>

namespace {

sqlite3 *handleOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    return handle.isValid() ? *static_cast<sqlite3 *const *>(handle.constData()) : nullptr;
}

// The keyword as a GLOB pattern over case-folded text: "*" and "?" are GLOB's own
// wildcards, a "[" is put in brackets, ASCII letters are folded as lower() folds the text.
QString globPattern(const QString &keyword)
{
    QString pattern;
    for (const QChar c : keyword) {
        if (c == '[') {
            pattern += "[[]";
        } else if (c.unicode() >= 'A' && c.unicode() <= 'Z') {
            pattern += QChar(c.unicode() + ('a' - 'A'));
        } else {
            pattern += c;
        }
    }
    return pattern;
}

template<typename Work>
void withCatalogue(const QString &path, Work work)
{
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        work(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

QStringList referenceFileRows(const QString &path, const QString &keyword, QString *error)
{
    QStringList rows;
    withCatalogue(path, [&](QSqlDatabase &db) {
        QSqlQuery query(db);
        QVERIFY(query.exec("CREATE TEMP TABLE reference_files (pkg_id INTEGER, path TEXT, name TEXT)"));
        QVERIFY(query.exec("SELECT " QV_PKG_ID " FROM " QV_PKG_TABLE " ORDER BY " QV_PKG_ID));
        QList<qint64> ids;
        while (query.next())
            ids << query.value(0).toLongLong();
        QSqlQuery insert(db);
        QVERIFY(insert.prepare("INSERT INTO reference_files VALUES (?, ?, ?)"));
        for (const qint64 id : ids) {
            std::vector<std::string> files;
            try {
                files = packageFiles(handleOf(db), uint32_t(id));
            } catch (const std::exception &e) {
                QFAIL(e.what());
            }
            for (const std::string &file : files) {
                const QString full = QString::fromStdString(file);
                insert.addBindValue(id);
                insert.addBindValue(full);
                insert.addBindValue(full.mid(full.lastIndexOf('/') + 1));
                QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
            }
        }
        const QString subject = keyword.contains('/') ? "path" : "name";
        QVERIFY(query.prepare("SELECT pkg_id, MIN(path) FROM reference_files WHERE lower(" + subject
                              + ") GLOB ? GROUP BY pkg_id ORDER BY pkg_id"));
        query.addBindValue(globPattern(keyword));
        if (!query.exec() && error) {
            *error = query.lastError().text();
            return;
        }
        QVERIFY2(query.lastError().text().trimmed().isEmpty(), qPrintable(query.lastError().text()));
        while (query.next())
            rows << query.value(0).toString() + '|' + query.value(1).toString();
    });
    return rows;
}

QString engineStatement(const QString &path, const QString &keyword)
{
    QString statement;
    withCatalogue(path, [&](QSqlDatabase &db) {
        const QByteArray utf8 = keyword.toUtf8();
        try {
            FileSearch search(handleOf(db), std::string(utf8.constData(), size_t(utf8.size())));
            search.packages();
            statement = QString::fromStdString(search.statement());
        } catch (const std::exception &e) {
            QFAIL(e.what());
        }
    });
    QString line;
    QDebug(&line) << statement;
    return line.trimmed();
}
