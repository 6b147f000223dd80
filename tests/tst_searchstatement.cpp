#include "searchstatement.h"

#include <QtTest>
#include <catalogueschema.h>

// The statement text that a keyword turns into, without running it.
class tst_SearchStatement : public QObject
{
    Q_OBJECT

private slots:
    void prefix();
    void likeClause_data();
    void likeClause();
    void filePattern_data();
    void filePattern();
    void fileNameConditions_data();
    void fileNameConditions();
    void suffixConditions_data();
    void suffixConditions();
};

void tst_SearchStatement::prefix()
{
    const QString prefix = QString::fromUtf8(SearchStatement::packagePrefix);
    QCOMPARE(prefix.length(), 109);
    QVERIFY(prefix.startsWith(QString::fromUtf8("SELECT id as '序号',  name || '-'")));
    QVERIFY(prefix.endsWith(QLatin1String("FROM " QV_PKG_TABLE " WHERE name ")));
    QCOMPARE(SearchStatement::build(QStringLiteral("vim"), SearchMode::PackageName),
             prefix + QStringLiteral(" LIKE 'vim'"));
}

void tst_SearchStatement::likeClause_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("clause");

    QTest::newRow("exact") << "vim" << " LIKE 'vim'";
    QTest::newRow("substring") << "*vim*" << " LIKE '%vim%'";
    QTest::newRow("suffix") << "*vim" << " LIKE '%vim'";
    QTest::newRow("prefix") << "vim*" << " LIKE 'vim%'";
    QTest::newRow("one star") << "*" << " LIKE '%%'";
    QTest::newRow("two stars") << "**" << " LIKE '%%'";
    QTest::newRow("three stars") << "***" << " LIKE '%*%'";
    QTest::newRow("inner star") << "a*b" << " LIKE 'a*b'";
    QTest::newRow("star then blank") << "* vim" << " LIKE '% vim'";
    QTest::newRow("percent stays a wildcard") << "vim%" << " LIKE 'vim%'";
    QTest::newRow("underscore stays a wildcard") << "vi_" << " LIKE 'vi_'";
    QTest::newRow("apostrophe doubled") << "o'neil*" << " LIKE 'o''neil%'";
    QTest::newRow("apostrophes cannot end the literal")
        << "x' OR '1'='1" << " LIKE 'x'' OR ''1''=''1'";
    QTest::newRow("statement break stays text") << "a'; DROP TABLE " QV_PKG_TABLE "; --"
                                                << " LIKE 'a''; DROP TABLE " QV_PKG_TABLE "; --'";
    QTest::newRow("place marker in keyword") << "%1%2" << " LIKE '%1%2'";
    QTest::newRow("NUL spliced in, not ending the text")
        << (QString("a") + QChar(0) + "b") << " LIKE 'a' || char(0) || 'b'";
    QTest::newRow("lone surrogate cannot swallow the apostrophe")
        << (QString(QChar(0xD800)) + "'") << (" LIKE '" + QString(QChar(0xFFFD)) + "'''");
    QTest::newRow("surrogate pair kept") << QString::fromUtf8("*😀") << QString::fromUtf8(" LIKE '%😀'");
    QTest::newRow("non-ASCII") << QString::fromUtf8("*中文") << QString::fromUtf8(" LIKE '%中文'");
}

void tst_SearchStatement::likeClause()
{
    QFETCH(QString, keyword);
    QFETCH(QString, clause);
    QCOMPARE(SearchStatement::likeClause(keyword), clause);
}

void tst_SearchStatement::filePattern_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("exact") << "gcc" << "gcc";
    QTest::newRow("stars anywhere") << "*lib*ssl*" << "%lib%ssl%";
    QTest::newRow("lone star") << "*" << "%";
    QTest::newRow("three stars") << "***" << "%%%";
    QTest::newRow("question mark") << "gc?" << "gc_";
    QTest::newRow("underscore literal") << "x86_64" << "x86\\_64";
    QTest::newRow("percent literal") << "100%*" << "100\\%%";
    QTest::newRow("backslash literal") << "a\\%" << "a\\\\\\%";
    QTest::newRow("apostrophe as is") << "o'neil" << "o'neil";
}

void tst_SearchStatement::filePattern()
{
    QFETCH(QString, keyword);
    QFETCH(QString, pattern);
    QCOMPARE(SearchStatement::filePattern(keyword), pattern);
}

void tst_SearchStatement::fileNameConditions_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<bool>("trigrams");
    QTest::addColumn<QString>("condition");

    QTest::newRow("exact name") << "gcc" << true << "WHERE n.name LIKE 'gcc' GROUP BY";
    QTest::newRow("prefix keeps the name index") << "libssl*" << true << "WHERE n.name LIKE 'libssl%' GROUP BY";
    QTest::newRow("suffix through trigrams")
        << "*.so.3" << true
        << "WHERE n.id IN (SELECT rowid FROM " QV_NAME_FTS " WHERE " QV_NAME_FTS " MATCH "
           "'\".so\" AND \"so.\" AND \"o.3\"') AND n.name LIKE '%.so.3' GROUP BY";
    QTest::newRow("suffix without trigram index") << "*.so.3" << false << "WHERE n.name LIKE '%.so.3' GROUP BY";
    QTest::newRow("two literal characters scan plainly") << "*qt*" << true << "WHERE n.name LIKE '%qt%' GROUP BY";
    QTest::newRow("wildcards break the run") << "*q?t*s*" << true << "WHERE n.name LIKE '%q_t%s%' GROUP BY";
    QTest::newRow("underscore and percent are literal, in trigrams too")
        << "*q_t%s*" << true
        << "WHERE n.id IN (SELECT rowid FROM " QV_NAME_FTS " WHERE " QV_NAME_FTS " MATCH "
           "'\"q_t\" AND \"_t%\" AND \"t%s\"') AND n.name LIKE '%q\\_t\\%s%' ESCAPE '\\' GROUP BY";
    QTest::newRow("inner star") << "lib*.so" << true << "WHERE n.name LIKE 'lib%.so' GROUP BY";
    QTest::newRow("question marks") << "??" << false << "WHERE n.name LIKE '__' GROUP BY";
    QTest::newRow("backslash literal") << "a\\b" << true << "WHERE n.name LIKE 'a\\\\b' ESCAPE '\\' GROUP BY";
    QTest::newRow("escaped prefix keeps the name index")
        << "x86_64*" << true << "WHERE n.name LIKE 'x86\\_64%' ESCAPE '\\' GROUP BY";
    QTest::newRow("apostrophe") << "*o'neil*" << true
        << "WHERE n.id IN (SELECT rowid FROM " QV_NAME_FTS " WHERE " QV_NAME_FTS " MATCH "
           "'\"o''n\" AND \"''ne\" AND \"nei\" AND \"eil\"') AND n.name LIKE '%o''neil%' GROUP BY";
    QTest::newRow("double quotes doubled in the index query")
        << "*y \"hi\"*" << true
        << "MATCH '\"y \"\"\" AND \" \"\"h\" AND \"\"\"hi\" AND \"hi\"\"\"') AND n.name LIKE '%y \"hi\"%' GROUP BY";
    QTest::newRow("repeated trigram once") << "*aaaaaa*" << true << "MATCH '\"aaa\"') AND n.name LIKE '%aaaaaa%' GROUP BY";
    QTest::newRow("a long run gives sixteen trigrams")
        << "*abcdefghijklmnopqrstuvwxyz" << true
        << "MATCH '\"abc\" AND \"bcd\" AND \"cde\" AND \"def\" AND \"efg\" AND \"fgh\" AND \"ghi\" AND \"hij\" AND "
           "\"ijk\" AND \"jkl\" AND \"klm\" AND \"lmn\" AND \"mno\" AND \"nop\" AND \"opq\" AND \"pqr\"') AND "
           "n.name LIKE '%abcdefghijklmnopqrstuvwxyz' GROUP BY";
    // The index counts characters, not UTF-16 units: two emoji are too short for a trigram.
    QTest::newRow("two emoji scan plainly")
        << QString::fromUtf8("*😀😀*") << true << QString::fromUtf8("WHERE n.name LIKE '%😀😀%' GROUP BY");
    QTest::newRow("emoji inside a trigram")
        << QString::fromUtf8("*a😀b*") << true
        << QString::fromUtf8("MATCH '\"a😀b\"') AND n.name LIKE '%a😀b%' GROUP BY");
    // SQLite's LIKE ends the pattern at a NUL, so no trigram may come from beyond it.
    QTest::newRow("nothing after a NUL")
        << QString::fromUtf8("*ab") + QChar(0) + QString::fromUtf8("cdef*") << true
        << "WHERE n.name LIKE '%ab' || char(0) || 'cdef%' GROUP BY";
    QTest::newRow("fixed path") << "/usr/bin/gcc" << true << "WHERE n.name LIKE 'gcc' AND d.path LIKE '/usr/bin' GROUP BY";
    QTest::newRow("any directory") << "*/bin/gcc" << true << "WHERE n.name LIKE 'gcc' AND d.path LIKE '%/bin' GROUP BY";
    QTest::newRow("root file") << "/vmlinuz" << true << "WHERE n.name LIKE 'vmlinuz' AND d.path LIKE '' GROUP BY";
    QTest::newRow("open name after a path")
        << "*/x86_64-linux-gnu/*" << true
        << "WHERE d.id IN (SELECT rowid FROM " QV_DIR_FTS " WHERE " QV_DIR_FTS " MATCH '\"/x8\" AND \"x86\" AND "
           "\"86_\" AND \"6_6\" AND \"_64\" AND "
           "\"64-\" AND \"4-l\" AND \"-li\" AND \"lin\" AND \"inu\" AND \"nux\" AND \"ux-\" AND \"x-g\" AND "
           "\"-gn\" AND \"gnu\"') AND "
           "d.path || '/' || n.name LIKE '%/x86\\_64-linux-gnu/%' ESCAPE '\\' GROUP BY";
    QTest::newRow("open name under a fixed directory")
        << "/usr/lib/*" << true << "WHERE d.path || '/' || n.name LIKE '/usr/lib/%' GROUP BY";
    // One "?" can stand for a "/": the path is not split into directory and name.
    QTest::newRow("question mark after the last slash")
        << "/usr/bin?gcc" << true << "WHERE d.path || '/' || n.name LIKE '/usr/bin_gcc' GROUP BY";
    QTest::newRow("underscore after the last slash splits")
        << "/usr/lib/x86_64" << true
        << "WHERE n.name LIKE 'x86\\_64' ESCAPE '\\' AND d.path LIKE '/usr/lib' GROUP BY";
    QTest::newRow("star in the directory part")
        << "/usr/*/gcc" << true << "WHERE n.name LIKE 'gcc' AND d.path LIKE '/usr/%' GROUP BY";
}

void tst_SearchStatement::fileNameConditions()
{
    QFETCH(QString, keyword);
    QFETCH(bool, trigrams);
    QFETCH(QString, condition);

    CatalogueFeatures features;
    features.fileLists = true;
    features.nameTrigrams = features.dirTrigrams = trigrams;
    const QString statement = SearchStatement::build(keyword, SearchMode::FileName, features);
    QVERIFY2(statement.contains(condition), qPrintable(statement));
    QVERIFY(statement.startsWith(QString::fromUtf8("SELECT p.id as '序号',")));
    QVERIFY(statement.endsWith(QLatin1String(" GROUP BY f.pkg_id) m JOIN " QV_PKG_TABLE " p ON p.id = m.pkg_id ORDER BY p.id")));
    // Where the base name decides, the matching names drive the join.
    const bool byName = !condition.contains(QLatin1String("d.path || '/' || n.name LIKE"));
    QCOMPARE(statement.contains(QLatin1String("FROM " QV_NAME_TABLE " n CROSS JOIN " QV_LINK_TABLE " f")), byName);
}

// With the reversed-suffix table, a suffix keyword becomes a prefix of its key; other
// keywords keep the conditions above.
void tst_SearchStatement::suffixConditions_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("condition");
    const QString suffix = "WHERE n.id IN (SELECT name_id FROM qv_file_suffix_t WHERE key LIKE '%1') AND n.name LIKE '%2' GROUP BY";
    QTest::newRow("one character") << "*h" << suffix.arg("h%", "%h");
    QTest::newRow("two characters") << "*.h" << suffix.arg("h.%", "%.h");
    QTest::newRow("instead of trigrams") << "*.so.3" << suffix.arg("3.os.%", "%.so.3");
    QTest::newRow("nine characters") << "*.desktop" << suffix.arg("potksed.%", "%.desktop");
    QTest::newRow("longer suffix keeps its last nine")
        << "*-linux-gnu.so" << suffix.arg("os.ung-xu%", "%-linux-gnu.so");
    QTest::newRow("apostrophe doubled") << "*o'neil.txt" << suffix.arg("txt.lien''%", "%o''neil.txt");
    QTest::newRow("emoji is one character")
        << QString::fromUtf8("*😀x.png") << suffix.arg(QString::fromUtf8("gnp.x😀%"), QString::fromUtf8("%😀x.png"));
    QTest::newRow("one-character wildcard scans") << "*?.h" << "WHERE n.name LIKE '%_.h' GROUP BY";
    QTest::newRow("inner star scans") << "*a*.h" << "WHERE n.name LIKE '%a%.h' GROUP BY";
    QTest::newRow("percent and underscore are literal")
        << "*%_.h"
        << "WHERE n.id IN (SELECT name_id FROM qv_file_suffix_t WHERE key LIKE 'h.\\_\\%%' ESCAPE '\\') "
           "AND n.name LIKE '%\\%\\_.h' ESCAPE '\\' GROUP BY";
    QTest::newRow("nothing after a NUL")
        << QString("*ab") + QChar(0) + "c" << "WHERE n.name LIKE '%ab' || char(0) || 'c' GROUP BY";
    QTest::newRow("lone surrogate scans")
        << QString("*a") + QChar(0xd800) << QString("WHERE n.name LIKE '%a") + QChar(QChar::ReplacementCharacter) + "' GROUP BY";
    QTest::newRow("substring keeps trigrams")
        << "*gcc*" << "WHERE n.id IN (SELECT rowid FROM qv_file_name_fts WHERE qv_file_name_fts MATCH '\"gcc\"') AND n.name LIKE '%gcc%' GROUP BY";
    QTest::newRow("every file") << "*" << "WHERE n.name LIKE '%' GROUP BY";
    QTest::newRow("prefix") << "lib*" << "WHERE n.name LIKE 'lib%' GROUP BY";
}

void tst_SearchStatement::suffixConditions()
{
    QFETCH(QString, keyword);
    QFETCH(QString, condition);
    CatalogueFeatures features;
    features.fileLists = features.nameTrigrams = features.dirTrigrams = features.nameSuffixes = true;
    const QString statement = SearchStatement::build(keyword, SearchMode::FileName, features);
    QVERIFY2(statement.contains(condition), qPrintable(statement));
}

QTEST_APPLESS_MAIN(tst_SearchStatement)
#include "tst_searchstatement.moc"
