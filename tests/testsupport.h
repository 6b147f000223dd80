#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

class QAbstractButton;
class QTableView;
class MainWindow;

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

// What one modal message box showed.
struct ShownBox
{
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool hasParent = false;
    bool finderVisible = false; // whether a finder window was already on screen
    QString shown;              // text and informative text as they show on screen
};

// Watches for modal message boxes and closes each one with its only button,
// as a user would, recording what it showed.
class BoxCloser : public QObject
{
    Q_OBJECT
public:
    BoxCloser();
    QList<ShownBox> boxes;

private:
    void closeActiveBox();
    QTimer timer;
};

struct CataloguePackage
{
    QString name, ver, rel, arch;
};

// Runs statements on the SQLite file at path (created when missing) through a
// connection of its own; fails the test on the first statement that fails. For the
// deliberately odd catalogues a test is about (damaged, foreign columns, old layouts).
void execOnCatalogue(const QString &path, const QStringList &statements);
// Writes a catalogue holding the given packages, ids 1..N, through the builder's own
// writer (CatalogueWriter), replacing any file at path. Each package once: the writer
// keeps a (name, ver, rel, arch) tuple once, so a repeated one fails the test.
void writeCatalogue(const QString &path, const QList<CataloguePackage> &packages);
struct CatalogueFile
{
    int packageId;
    QString path; // full path, "/usr/bin/gcc"
};
// Adds the file lists to a catalogue that writeCatalogue wrote (its packages are read
// back): the builder's writer makes the whole catalogue again with them.
void writeFileLists(const QString &path, const QList<CatalogueFile> &files);
// What a file-name search of the catalogue at path must show, worked out without the
// search engine's plans: every package's files (each package's own list), matched with
// SQLite's GLOB against the keyword over ASCII-folded text ("*" and "?" as in the finder,
// a "/" in the keyword matching the full path), one "id|first path" a package in order
// of id. Fails the test when the catalogue cannot be read; an error of the matching
// statement (a pattern SQLite refuses) goes to *error where that is given.
QStringList referenceFileRows(const QString &path, const QString &keyword, QString *error = nullptr);
// The statement a file-name search of the catalogue at path runs for the keyword, as the
// finder's second debug line shows it.
QString engineStatement(const QString &path, const QString &keyword);
// A file of the finder's test data (tests/data/...).
QString testData(const QString &relative);
// Runs quorvi-catalog -o path with the given sources ("--packages", file, ...);
// fails the test unless it succeeds.
void buildCatalogue(const QString &path, const QStringList &sources);
QByteArray fileBytes(const QString &path);

// What a label or tooltip with this text and format puts on screen: the text itself when
// it shows as plain text, else what Qt's rich-text engine makes of it (a tag vanishes, an
// image becomes U+FFFC, a line break "\n"). Text from a catalogue must come out unchanged.
QString shownText(const QString &text, Qt::TextFormat format = Qt::AutoText);

// Types the keyword into the window and clicks the search button.
void searchFor(MainWindow &window, const QString &keyword);
QTableView *resultTable(MainWindow &window);
// Clicks a radio button on its indicator, as a user does.
void clickRadio(QAbstractButton *button);
// Column texts of every row the table shows.
QStringList tableColumn(QTableView *table, int column);

#endif // TESTSUPPORT_H
