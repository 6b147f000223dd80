#include "searchstatement.h"

#include <QtTest>
#include <catalogueschema.h>

// The package-name statement that a keyword turns into, without running it.
class tst_SearchStatement : public QObject
{
    Q_OBJECT

private slots:
    void prefix();
    void likeClause_data();
    void likeClause();
};

void tst_SearchStatement::prefix()
{
    const QString prefix = QString::fromUtf8(SearchStatement::packagePrefix);
    QCOMPARE(prefix.length(), 109);
    QVERIFY(prefix.startsWith(QString::fromUtf8("SELECT id as '序号',  name || '-'")));
    QVERIFY(prefix.endsWith(QLatin1String("FROM " QV_PKG_TABLE " WHERE name ")));
    QCOMPARE(SearchStatement::build(QStringLiteral("vim")),
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

QTEST_APPLESS_MAIN(tst_SearchStatement)
#include "tst_searchstatement.moc"
