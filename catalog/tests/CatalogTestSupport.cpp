#include "CatalogTestSupport.h"

#include <QDir>
#include <QMetaMethod>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QtTest>
#include <catalogueschema.h>

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
                                        " FROM " QV_PKG_TABLE " ORDER BY id"));
}

QStringList fileRows(const QString &dbPath)
{
    QStringList rows = query(dbPath, QStringLiteral(
        "SELECT p.name || '|' || p.arch || '|' || d.path || '/' || n.name"
        " FROM " QV_LINK_TABLE " f JOIN " QV_PKG_TABLE " p ON p.id = f.pkg_id"
        " JOIN " QV_DIR_TABLE " d ON d.id = f.dir_id JOIN " QV_NAME_TABLE " n ON n.id = f.name_id"));
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

namespace {
bool isTestFunction(const QMetaMethod &method)
{
    const QByteArray name = method.name();
    return method.methodType() == QMetaMethod::Slot && method.access() == QMetaMethod::Private
           && method.parameterCount() == 0 && !name.endsWith("_data")
           && name != "initTestCase" && name != "cleanupTestCase" && name != "init"
           && name != "cleanup";
}

// QtTest options that take a value.
bool takesValue(const QString &option)
{
    return option == "-o" || option == "-maxwarnings" || option == "-eventdelay"
           || option == "-keydelay" || option == "-mousedelay" || option == "-seed";
}
} // namespace

int execGuarded(QObject *test, int argc, char **argv)
{
    QStringList options;
    QStringList functions; // the ones asked for, else every test function
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg.startsWith('-')) {
            options << arg;
            if (takesValue(arg) && i + 1 < argc)
                options << QString::fromLocal8Bit(argv[++i]);
        } else {
            functions << arg;
        }
    }
    if (functions.isEmpty()) {
        const QMetaObject *meta = test->metaObject();
        for (int m = meta->methodOffset(); m < meta->methodCount(); ++m) {
            if (isTestFunction(meta->method(m)))
                functions << QString::fromLatin1(meta->method(m).name());
        }
    }
    // One run of QtTest for each function: after an exception QtTest cannot go on, and
    // it no longer tells which function threw.
    int failures = 0;
    for (const QString &function : functions) {
        try {
            failures += QTest::qExec(test, QStringList{QString::fromLocal8Bit(argv[0])} + options
                                               + QStringList{function});
        } catch (const std::exception &e) {
            ++failures;
            qWarning("%s: exception: %s", qPrintable(function), e.what());
        } catch (...) {
            ++failures;
            qWarning("%s: exception", qPrintable(function));
        }
    }
    return failures;
}

bool runTool(const QString &program, const QStringList &args, const QString &home)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    const bool ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
                    && process.exitCode() == 0;
    if (!ok)
        qWarning("%s failed: %s", qPrintable(program), process.readAll().constData());
    return ok;
}

} // namespace CatalogTest
