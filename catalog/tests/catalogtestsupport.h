#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QObject;

// Helpers shared by the catalogue builder tests: run the real binary and
// read back what it wrote.
namespace CatalogTest {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

QString dataPath(const QString &relative);

// Runs quorvi-catalog with `args` and waits for it to finish.
Run runBuilder(const QStringList &args, int timeoutMs = 60000);

// Runs a package tool (rpmbuild, rpm, createrepo_c) with HOME in the test's folder, so
// that no user configuration (~/.rpmmacros) takes part; true when it exits 0. Its output
// goes to a warning otherwise.
bool runTool(const QString &program, const QStringList &args, const QString &home);

// "name|ver|rel|arch" of every package, in id order.
QStringList packageRows(const QString &dbPath);

// "name|arch|/full/path" of every package file, sorted, read through the format library's
// decoders from the name blocks' links. A catalogue whose package file lists name other
// files gives one more row, "<package files differ from the name links>".
QStringList fileRows(const QString &dbPath);

// What is wrong with the file tables of a catalogue, as the format defines them: block
// ids 0, 1, ... of full blocks, each block's `first` its first text folded, texts in
// strictly rising folded order across blocks, ids in range, each directory's packages
// exactly those the links put in it, each trigram's blocks exactly those holding a name
// with it. Empty for a sound catalogue (also one without file tables).
QStringList fileTableProblems(const QString &dbPath);

// Names of the tables and indexes in the catalogue, sorted.
QStringList schemaNames(const QString &dbPath);

// Result of a single-column query, in the order returned; a failure gives
// one "<... failed: reason>" row. `readOnly` false allows fts5 commands.
QStringList query(const QString &dbPath, const QString &sql, bool readOnly = true);

QByteArray readBytes(const QString &path);
bool writeBytes(const QString &path, const QByteArray &bytes);

// Files in `dir` whose names start with ".<base>.tmp-".
QStringList tempFilesOf(const QString &dir, const QString &base);

// Runs the test object's functions like QTest::qExec, except that an exception escaping
// one test function fails that function and the functions after it still run (QtTest
// itself ends the whole program on an uncaught exception). Each function runs in a
// QtTest run of its own, between initTestCase() and cleanupTestCase(). Returns the
// number of failures.
int execGuarded(QObject *test, int argc, char **argv);

} // namespace CatalogTest

#define QUORVI_GUARDED_TEST_MAIN(TestObject)                                   \
    int main(int argc, char **argv)                                           \
    {                                                                          \
        QCoreApplication app(argc, argv);                                      \
        app.setAttribute(Qt::AA_Use96Dpi, true);                               \
        TestObject tc;                                                         \
        QTEST_SET_MAIN_SOURCE_PATH                                             \
        return CatalogTest::execGuarded(&tc, argc, argv);                      \
    }
