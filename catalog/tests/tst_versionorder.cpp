// The builder orders versions with the package managers' own libraries. Each
// pair of the table is also given to dpkg and rpm themselves, so the table's
// expectations are checked against the real tools.

#include "packageindex.h"
#include "versionorder.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {
int sign(int order)
{
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

// dpkg --compare-versions answers one relation per call, through its exit code.
int dpkgOrder(const QString &a, const QString &b)
{
    if (QProcess::execute("dpkg", {"--compare-versions", a, "lt", b}) == 0) {
        return -1;
    }
    return QProcess::execute("dpkg", {"--compare-versions", a, "eq", b}) == 0 ? 0 : 1;
}

int rpmOrder(const QString &a, const QString &b)
{
    QProcess rpm;
    rpm.start("rpm", {"--eval", QString("%{lua: print(rpm.vercmp(\"%1\", \"%2\"))}").arg(a, b)});
    if (!rpm.waitForFinished(60000) || rpm.exitCode() != 0) {
        return 99;
    }
    return rpm.readAllStandardOutput().trimmed().toInt();
}

QStringList rows(const PackageIndex &index)
{
    QStringList out;
    for (uint32_t id = 1; id <= index.size(); ++id) {
        const PackageIndex::Row &r = index.row(id);
        out << QString::fromStdString(r.name + "|" + r.ver + "|" + r.rel + "|" + r.arch);
    }
    return out;
}
} // namespace

class VersionOrderTest : public QObject
{
    Q_OBJECT

private slots:
    void compare_data();
    void compare();
    void newestPerNameAndArch_data();
    void newestPerNameAndArch();
    void replacedVersionIsNotFound();
};

void VersionOrderTest::compare_data()
{
    QTest::addColumn<bool>("rpm");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");
    auto deb = [](const char *tag, const char *a, const char *b, int order) {
        QTest::newRow(tag) << false << a << b << order;
    };
    auto rpm = [](const char *tag, const char *a, const char *b, int order) {
        QTest::newRow(tag) << true << a << b << order;
    };
    deb("deb epoch beats a higher upstream", "1:1.0-1", "2.0-1", 1);
    deb("deb epoch 0 is no epoch", "0:1.0", "1.0", 0);
    deb("deb tilde before release", "1.0~rc1-1", "1.0-1", -1);
    deb("deb double tilde before tilde", "1.0~~", "1.0~", -1);
    deb("deb backport tilde", "3.0.17-1~deb12u1", "3.0.17-1", -1);
    deb("deb security update newer", "3.0.17-1~deb12u2", "3.0.16-1~deb12u1", 1);
    deb("deb native equals revision 0", "1.0", "1.0-0", 0);
    deb("deb native older than revision 1", "2.6.0", "2.6.0-1", -1);
    deb("deb binNMU newer", "1.2.3-1+b1", "1.2.3-1", 1);
    deb("deb letters before symbols", "1.0a", "1.0+", -1);
    deb("deb numbers compare as numbers", "10", "9", 1);
    deb("deb hyphen in upstream", "1.0-rc1-3", "1.0-rc1-10", -1);
    deb("deb equal", "5.2.15-2+b2", "5.2.15-2+b2", 0);
    rpm("rpm release numeric", "1.0-2", "1.0-10", -1);
    rpm("rpm release el9 over el8", "1.0-1.el9", "1.0-1.el8", 1);
    rpm("rpm number beats letters", "1.0-1.fc38", "1.0-1.1.fc38", -1);
    rpm("rpm epoch beats a higher version", "1:1.0-1", "2.0-1", 1);
    rpm("rpm epoch 0 is no epoch", "0:1.0-1", "1.0-1", 0);
    rpm("rpm tilde before release", "1.0~rc1-1", "1.0-1", -1);
    rpm("rpm caret after release", "1.0^git1-1", "1.0-1", 1);
    rpm("rpm longer version newer", "1.0a-1", "1.0-1", 1);
    rpm("rpm more segments newer", "2.0-1", "2.0.1-1", -1);
    rpm("rpm separators equal", "1.0_1-1", "1.0.1-1", 0);
    rpm("rpm equal", "5.2.15-3.fc39", "5.2.15-3.fc39", 0);
}

void VersionOrderTest::compare()
{
    QFETCH(bool, rpm);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    const VersionScheme scheme = rpm ? VersionScheme::Rpm : VersionScheme::Debian;
    QCOMPARE(sign(VersionOrder::compare(scheme, a.toStdString(), b.toStdString())), order);
    QCOMPARE(sign(VersionOrder::compare(scheme, b.toStdString(), a.toStdString())), -order);
    const char *tool = rpm ? "rpm" : "dpkg";
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
        QSKIP("the package manager is not installed: the table is not checked against it");
    }
    QCOMPARE(rpm ? rpmOrder(a, b) : dpkgOrder(a, b), order);
}

void VersionOrderTest::newestPerNameAndArch_data()
{
    QTest::addColumn<bool>("newestOnly");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("newest only")
        << true << QStringList{"ssl|3.0.17|1~deb12u3|amd64", "ssl|3.0.11|1|i386", "tool|2.0|0|all",
                               "ssl|1.1|10|x86_64"};
    QTest::newRow("all versions")
        << false << QStringList{"ssl|3.0.17|1~deb12u2|amd64", "ssl|3.0.11|1|i386",
                                "ssl|3.0.17|1~deb12u3|amd64", "tool|1.0|0|all",
                                "ssl|3.0.17|1~deb12u1|amd64", "tool|2.0|0|all", "ssl|1.1|2|x86_64",
                                "ssl|1.1|10|x86_64"};
}

// Several sources list one package in several versions, in no particular order.
void VersionOrderTest::newestPerNameAndArch()
{
    QFETCH(bool, newestOnly);
    QFETCH(QStringList, expected);
    PackageIndex index(newestOnly);
    const auto deb = VersionScheme::Debian;
    const uint32_t first = index.add("ssl", "3.0.17", "1~deb12u2", "amd64", deb, "3.0.17-1~deb12u2");
    index.add("ssl", "3.0.11", "1", "i386", deb, "3.0.11-1");
    QCOMPARE(index.add("ssl", "3.0.17", "1~deb12u3", "amd64", deb, "3.0.17-1~deb12u3"),
             newestOnly ? first : 3u);
    index.add("tool", "1.0", "0", "all", deb, "1.0");
    index.add("ssl", "3.0.17", "1~deb12u1", "amd64", deb, "3.0.17-1~deb12u1");
    // Epoch 1 makes 2.0 newer than the 1.0 seen first, whose epoch is 0.
    index.add("tool", "2.0", "0", "all", deb, "1:2.0");
    index.add("tool", "1.0", "0", "all", deb, "1.0");
    // An RPM package of the same name stays apart, ordered by rpm's rules
    // (release 10 is newer than release 2).
    index.add("ssl", "1.1", "2", "x86_64", VersionScheme::Rpm, "1.1-2");
    index.add("ssl", "1.1", "10", "x86_64", VersionScheme::Rpm, "1.1-10");
    QCOMPARE(rows(index), expected);
}

// Once a newer version replaced a row, file lists of the older version find nothing.
void VersionOrderTest::replacedVersionIsNotFound()
{
    PackageIndex index(true);
    const uint32_t id = index.add("a", "1.0", "1", "x86_64", VersionScheme::Rpm, "1.0-1");
    index.add("a", "1.0", "2", "x86_64", VersionScheme::Rpm, "1.0-2");
    QCOMPARE(index.find("a", "1.0", "1", "x86_64"), 0u);
    QCOMPARE(index.find("a", "1.0", "2", "x86_64"), id);
    QCOMPARE(index.idsNamed("a")->size(), size_t(1));
    // An older version after the newer one changes nothing.
    QCOMPARE(index.add("a", "0.9", "7", "x86_64", VersionScheme::Rpm, "0.9-7"), id);
    QCOMPARE(index.find("a", "1.0", "2", "x86_64"), id);
}

QTEST_GUILESS_MAIN(VersionOrderTest)
#include "tst_versionorder.moc"
