#ifndef CORETESTSUPPORT_H
#define CORETESTSUPPORT_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// What every test of the finder and its core shares, with nothing but QtCore and QtTest.

// A fresh temporary folder that is the working directory while it exists: the
// finder looks for its catalogue there first. The user's and the system's catalogue
// places move into the folder too (userCatalogue(), systemCatalogue(); their folders
// are not made), so that no catalogue of the machine's reaches a test's window.
class CatalogueFolder
{
public:
    CatalogueFolder();
    ~CatalogueFolder();
    bool isValid() const { return dir.isValid(); }
    QString path() const { return dir.path(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }
    QString userCatalogue() const { return dir.filePath("home/.cache/quorvi/os_pkg_list.db"); }
    QString systemCatalogue() const { return dir.filePath("var/cache/quorvi/os_pkg_list.db"); }

private:
    QTemporaryDir dir;
    QString previous;
};

// Records every debug and warning line written while it exists.
class MessageLog
{
public:
    MessageLog();
    ~MessageLog();
    QStringList lines() const;
    // The lines that start with the given text, in the order written.
    QStringList linesStartingWith(const QString &prefix) const;
    void clear();
};

// A file of the finder's test data (tests/data/...).
QString testData(const QString &relative);
// Runs quorvi-catalog -o path with the given sources ("--packages", file, ...);
// fails the test unless it succeeds.
void buildCatalogue(const QString &path, const QStringList &sources);
QByteArray fileBytes(const QString &path);


#endif // CORETESTSUPPORT_H
