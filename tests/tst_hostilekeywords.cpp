#include "mainwindow.h"
#include "searchstatement.h"
#include "testsupport.h"

#include <QtTest>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <catalogueschema.h>

// Keywords made to break the statement (injections, quotes, wildcards, control and
// invisible characters, huge texts) searched through the window, by package name and by
// file name. Each search must show exactly the rows of a reference computed here (a LIKE
// over the keyword's pattern bound as a parameter; for file names a GLOB over every
// package's files), or report a pattern that SQLite itself refuses; the catalogue keeps
// its bytes.
class tst_HostileKeywords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void hostileKeyword_data();
    void hostileKeyword();

private:
    QString cataloguePath() const { return dir->filePath("os_pkg_list.db"); }
    std::unique_ptr<CatalogueFolder> dir;
    QByteArray catalogueHash;
};

namespace {

const char referenceConnection[] = "hostile-reference";

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Package names, and a file of each package, that the hostile keywords might hit.
const QStringList &hostileNames()
{
    static const QStringList names{
        "gcc", "gcc-12", "vim", "' OR 1=1 --", "o'neil", "a''b", "quote\"pkg", "back`tick",
        "back\\slash", "100%_sure", "under_score", "percent%sign", "tab\tname", u("中文软件"),
        u("emoji\xF0\x9F\x98\x80pkg"), u("rtl\xE2\x80\xAEpkg"), u("zwj\xE2\x80\x8Dpkg"), "ESCAPE", "GLOB", "MATCH",
        "%1 %2", "star*pkg", "x vim", u("curly\xE2\x80\x99quote"), u("fullwidth\xEF\xBC\x87q"), "ctrl\x01" "a",
        "semi;colon", "*comment*", "dash--dash", "x' UNION SELECT", "DROP", "Robert'); DROP TABLE",
        "q?mark", "br[ack]et",
    };
    return names;
}

// The star rules of package-name mode, applied here on their own: a leading and/or
// trailing star becomes "%", inner stars stay characters.
QString starPattern(const QString &keyword)
{
    QString pattern = keyword;
    const bool leading = pattern.startsWith('*');
    const bool trailing = pattern.endsWith('*');
    // A lone star is both the leading and the trailing one.
    if (leading && trailing) {
        return '%' + pattern.mid(1, qMax(0, pattern.size() - 2)) + '%';
    }
    if (leading) {
        return '%' + pattern.mid(1);
    }
    if (trailing) {
        return pattern.left(pattern.size() - 1) + '%';
    }
    return pattern;
}

struct Reference
{
    QStringList rows;
    QString error;
};

// The rows a reference gives: for package names the ids that a LIKE over the star
// pattern finds, its pattern bound as a parameter; for file names the id and first
// matching path of the plain reference (referenceFileRows).
Reference referenceRows(const QString &catalogue, const QString &keyword, bool fileMode)
{
    Reference reference;
    if (fileMode) {
        reference.rows = referenceFileRows(catalogue, keyword, &reference.error);
        return reference;
    }
    const QString pattern = starPattern(keyword);
    QSqlQuery query(QSqlDatabase::database(referenceConnection));
    const QString statement = "SELECT id FROM " QV_PKG_TABLE " WHERE name LIKE ? ORDER BY id";
    if (!query.prepare(statement)) {
        reference.error = query.lastError().text();
        return reference;
    }
    query.addBindValue(pattern);
    if (!query.exec()) {
        reference.error = query.lastError().text();
        return reference;
    }
    while (query.next())
        reference.rows << query.value(0).toString();
    if (query.lastError().isValid()) {
        reference.error = query.lastError().text();
    }
    return reference;
}

QStringList shownRows(QTableView *table, bool fileMode)
{
    QStringList rows;
    const QAbstractItemModel *model = table->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString id = model->index(row, 0).data().toString();
        rows << (fileMode ? id + '|' + model->index(row, 2).data().toString() : id);
    }
    if (!fileMode) {
        std::sort(rows.begin(), rows.end(), [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
    }
    return rows;
}

// How a debug line shows a string: quoted, with quotes, backslashes and unprintable
// characters escaped.
QString asDebugLine(const QString &text)
{
    QString line;
    QDebug(&line).nospace() << text;
    return line;
}

bool hasUnpairedSurrogate(const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (text.at(i).isSurrogate()) {
            return true;
        }
    }
    return false;
}

QString printable(const QString &text)
{
    QString shown = text.left(60);
    for (QChar &c : shown) {
        if (c.unicode() < 0x20) {
            c = QChar(0x2400 + c.unicode());
        }
    }
    return text.size() > 60 ? shown + QString("...(%1 chars)").arg(text.size()) : shown;
}

} // namespace

void tst_HostileKeywords::initTestCase()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());

    QList<CataloguePackage> packages;
    QList<CatalogueFile> files;
    int id = 0;
    for (const QString &name : hostileNames()) {
        packages << CataloguePackage{name, "1.0", "1", "amd64"};
        ++id;
        files << CatalogueFile{id, "/usr/share/" + name + "/" + name + ".txt"}
              << CatalogueFile{id, "/usr/bin/" + name};
    }
    writeCatalogue(cataloguePath(), packages);
    writeFileLists(cataloguePath(), files);
    catalogueHash = QCryptographicHash::hash(fileBytes(cataloguePath()), QCryptographicHash::Sha256);

    QSqlDatabase reference = QSqlDatabase::addDatabase("QSQLITE", referenceConnection);
    reference.setDatabaseName(cataloguePath());
    reference.setConnectOptions("QSQLITE_OPEN_READONLY");
    QVERIFY(reference.open());
}

void tst_HostileKeywords::cleanupTestCase()
{
    QSqlDatabase::database(referenceConnection, false).close();
    QSqlDatabase::removeDatabase(referenceConnection);
    QCOMPARE(QCryptographicHash::hash(fileBytes(cataloguePath()), QCryptographicHash::Sha256), catalogueHash);
    dir.reset();
}

void tst_HostileKeywords::hostileKeyword_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<bool>("fileMode");

    const QString longText(100000, 'a');
    const QList<QPair<QString, QString>> keywords{
        // SQL injection forms
        {"or 1=1", "' OR 1=1 --"},
        {"or 1=1 starred", "*' OR 1=1 --*"},
        {"or 1=1 exact name", "' OR 1=1 --"},
        {"drop table", "'; DROP TABLE " QV_PKG_TABLE "; --"},
        {"union select", "x' UNION SELECT name, sql FROM sqlite_master --"},
        {"union select starred", "*x' UNION SELECT 1, 2 --*"},
        {"double quote or", "\" OR \"\"=\""},
        {"stacked statements", "gcc'; SELECT 1; SELECT 2; --"},
        {"comment open", "/*"},
        {"comment in keyword", "gcc/**/"},
        {"comment starred", "*/*comment*/*"},
        {"line comment", "--"},
        {"line comment after name", "gcc--"},
        {"robert", "Robert'); DROP TABLE " QV_PKG_TABLE ";--"},
        {"attach", "'; ATTACH DATABASE '/tmp/evil.db' AS evil; --"},
        // quotes of every kind
        {"apostrophe", "'"},
        {"two apostrophes", "''"},
        {"apostrophes in name", "*a''b*"},
        {"double quote", "\""},
        {"double quote in name", "*quote\"*"},
        {"backtick", "*`*"},
        {"curly right", u("*\xE2\x80\x99*")},
        {"curly left", u("\xE2\x80\x98")},
        {"curly double", u("\xE2\x80\x9C\xE2\x80\x9D")},
        {"fullwidth apostrophe", u("*\xEF\xBC\x87*")},
        {"o'neil prefix", "o'n*"},
        // LIKE wildcards and backslashes
        {"percent alone", "%"},
        {"underscore alone", "_"},
        {"percent inside", "gcc%12"},
        {"underscore inside", "*under_score*"},
        {"percent and underscore", "100%_sure"},
        {"underscores", "___"},
        {"backslash", "\\"},
        {"backslash in name", "*\\*"},
        {"backslash escape", "\\%"},
        {"backslash quote", "\\'"},
        {"underscore between stars", "*_*"},
        {"percent then star", "100%*"},
        {"question mark alone", "?"},
        {"question marks", "???????"},
        {"question mark inside", "gc?"},
        {"question mark for a slash", "*share?gcc*"},
        {"inner star", "g*c"},
        {"inner star across a slash", "/usr*gcc"},
        {"brackets", "*[ack]*"},
        {"bracket open", "*[*"},
        // NUL and control characters
        {"nul alone", QString(QChar(0))},
        {"nul inside", "zz" + QString(QChar(0)) + "top"},
        {"nul then quote", "*" + QString(QChar(0)) + "' OR 1=1 --*"},
        {"tab inside", "tab\tname"},
        {"control 01", "*\x01*"},
        {"escape 1b", "*\x1b[31m*"},
        {"carriage return inside", "gcc\rvim"},
        {"carriage return alone", "\r"},
        // invisible and right-to-left characters
        {"rtl override", u("*\xE2\x80\xAE*")},
        {"rtl mark", u("\xE2\x80\x8Fgcc")},
        {"zero width joiner", u("*zwj\xE2\x80\x8Dpkg*")},
        {"zero width space", u("gcc\xE2\x80\x8B")},
        {"byte order mark", u("\xEF\xBB\xBFgcc")},
        // emoji and unpaired surrogate halves
        {"emoji", u("*\xF0\x9F\x98\x80*")},
        {"emoji family", u("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7")},
        {"lone high surrogate", "gcc" + QString(QChar(0xD83D))},
        {"lone low surrogate", QString(QChar(0xDE00)) + "gcc"},
        {"lone surrogate before quote", QString(QChar(0xD800)) + "' OR 1=1 --"},
        {"lone low surrogate before quote", "*" + QString(QChar(0xDC00)) + "' OR name LIKE '%"},
        // huge keywords
        {"100000 chars", longText},
        {"100000 chars starred", '*' + longText + '*'},
        {"100000 chars trailing star", longText + '*'},
        {"100000 chinese chars starred", '*' + QString(100000, QChar(0x4E2D)) + '*'},
        // stars and blanks
        {"1 star", "*"},
        {"2 stars", "**"},
        {"3 stars", "***"},
        {"4 stars", "****"},
        {"7 stars", "*******"},
        {"10 stars", "**********"},
        {"blanks only", "     "},
        {"tab and blanks", " \t  "},
        {"ideographic space", u("\xE3\x80\x80")},
        {"star with blanks", "   *   "},
        {"star blank star", "* *"},
        // text
        {"chinese", u("中文软件")},
        {"chinese starred", u("*中文*")},
        {"place markers", "%1 %2"},
        {"place markers starred", "*%1*"},
        {"escape word", "ESCAPE"},
        {"escape clause", "x' ESCAPE 'x"},
        {"glob word", "GLOB"},
        {"glob clause", "x' OR name GLOB '*"},
        {"match word", "MATCH"},
        {"slash alone", "/"},
        {"slash star", "/*"},
        {"path injection", "*/' OR 1=1 --"},
    };
    for (bool fileMode : {false, true}) {
        for (const auto &keyword : keywords) {
            const QString tag = keyword.first + (fileMode ? ", file names" : ", package names");
            QTest::newRow(qPrintable(tag)) << keyword.second << fileMode;
        }
    }
}

void tst_HostileKeywords::hostileKeyword()
{
    QFETCH(QString, keyword);
    QFETCH(bool, fileMode);

    BoxCloser closer;
    MainWindow window;
    QVERIFY(closer.boxes.isEmpty());
    clickRadio(window.findChild<QRadioButton *>(fileMode ? "fileNameRadioButton" : "packageNameRadioButton"));
    QAbstractItemModel *headerModel = resultTable(window)->model();

    MessageLog log;
    searchFor(window, keyword);
    // The finder searches for what its keyword field holds (the field keeps at most
    // 32767 characters), trimmed.
    const QString typed = window.findChild<QLineEdit *>("keyworkLineEdit")->text();
    QVERIFY(keyword.startsWith(typed));
    const QString trimmed = typed.trimmed();

    if (trimmed.isEmpty()) {
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes.first().title, u("关键字"));
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(resultTable(window)->model(), headerModel);
        QCOMPARE(QCryptographicHash::hash(fileBytes(cataloguePath()), QCryptographicHash::Sha256), catalogueHash);
        return;
    }

    const Reference reference = referenceRows(cataloguePath(), trimmed, fileMode);
    const QString label = QString(fileMode ? "file names" : "package names") + " keyword " + printable(trimmed);
    if (!closer.boxes.isEmpty()) {
        qInfo().noquote() << label << "-> box:" << closer.boxes.first().title << printable(closer.boxes.first().text);
    }
    if (!reference.error.isEmpty()) {
        // SQLite refuses the pattern itself: a failed search box naming that, or no rows
        // when the statement never needed to compare a name with the pattern.
        qInfo().noquote() << label << "-> SQLite refuses the pattern:" << reference.error
                          << "| finder:" << (closer.boxes.isEmpty() ? "no box, rows " + QString::number(
                                                 resultTable(window)->model()->rowCount())
                                                                    : "box");
        if (closer.boxes.isEmpty()) {
            QCOMPARE(resultTable(window)->model()->rowCount(), 0);
        } else {
            QCOMPARE(closer.boxes.size(), 1);
            QCOMPARE(closer.boxes.first().title, u("查询失败"));
            QVERIFY2(closer.boxes.first().text.contains(reference.error.section(' ', 0, 2)),
                     qPrintable(closer.boxes.first().text));
            QCOMPARE(resultTable(window)->model(), headerModel);
        }
    } else {
        const QStringList rows = shownRows(resultTable(window), fileMode);
        const QString boxText = closer.boxes.isEmpty() ? QString() : closer.boxes.first().text;
        QVERIFY2(closer.boxes.isEmpty() && rows == reference.rows,
                 qPrintable(QString("box: %1; rows shown: %2; rows of the reference: %3")
                                .arg(printable(boxText), printable(rows.join(',')),
                                     printable(reference.rows.join(',')))));
        if (closer.boxes.isEmpty()) {
            QCOMPARE(log.lines().size(), 2);
            // A NUL or an unpaired surrogate half cannot stand as such in the statement text.
            if (!fileMode && !trimmed.contains(QChar(0)) && !hasUnpairedSurrogate(trimmed)) {
                // The statement is a LIKE over exactly the keyword's pattern.
                QString literal = starPattern(trimmed);
                literal.replace('\'', "''");
                QCOMPARE(log.lines().at(1), asDebugLine(QString::fromUtf8(SearchStatement::packagePrefix)
                                                        + " LIKE '" + literal + "'"));
            } else if (fileMode) {
                // The statement the search engine ran, with its parameters, as it ran (a
                // lone surrogate half reaches the engine as U+FFFD).
                if (!hasUnpairedSurrogate(trimmed)) {
                    QCOMPARE(log.lines().at(1), engineStatement(cataloguePath(), trimmed));
                }
            } else {
                QVERIFY(log.lines().at(1).contains(" LIKE '"));
            }
        }
    }
    QCOMPARE(QCryptographicHash::hash(fileBytes(cataloguePath()), QCryptographicHash::Sha256), catalogueHash);
    QVERIFY(QSqlDatabase::database(referenceConnection).tables().contains(QV_PKG_TABLE));
}

QTEST_MAIN(tst_HostileKeywords)
#include "tst_hostilekeywords.moc"
