#include "cataloguefixtures.h"
#include "coretestsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// quorvi-find and quorvi-command-not-found as a shell runs them, on one small catalogue
// made by quorvi-catalog from data/shell: one table of command lines with the lines each
// prints on stdout and stderr and its exit status.
class tst_Shell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLines_data();
    void commandLines();

private:
    QTemporaryDir dir;
};

void tst_Shell::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath("home"));
    buildCatalogue(dir.filePath("os_pkg_list.db"),
                   {"--packages", testData("shell/Packages"), "--contents", testData("shell/Contents")});
    QFile::copy(dir.filePath("os_pkg_list.db"), dir.filePath("format2.db"));
    execOnCatalogue(dir.filePath("format2.db"), {"PRAGMA user_version = 2"});
    QFile::copy(dir.filePath("os_pkg_list.db"), dir.filePath("crafted.db"));
    execOnCatalogue(dir.filePath("crafted.db"), {"UPDATE qv_file_names_t SET names = x'01ffff'"});
}

void tst_Shell::commandLines_data()
{
    QTest::addColumn<QStringList>("command"); // the program ("find" or "handler"), then its arguments
    QTest::addColumn<QString>("path");        // PATH
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QStringList>("err");     // a last line "..." allows more lines
    QTest::addColumn<int>("status");

    const QString path = "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin:/usr/games";
    const QString install = geteuid() == 0 ? "apt install -- " : "sudo apt install -- ";
    const QString found = QString::fromUtf8("找不到命令“%1”。可以安装提供它的软件包：");
    const QString ldconfig = QFile::exists("/usr/sbin/ldconfig") ? "/usr/sbin/ldconfig" : "/sbin/ldconfig";
    const QString ldconfigDir = ldconfig.left(ldconfig.lastIndexOf('/'));
    auto row = [&](const char *name, const QStringList &command, const QStringList &out, const QStringList &err, int status,
                   const QString &searchPath = {}) {
        QTest::newRow(name) << command << (searchPath.isEmpty() ? path : searchPath) << out << err << status;
    };

    row("search: /usr/bin/ls finds /bin/ls", {"find", "search", "/usr/bin/ls"}, {"coreutils: /bin/ls"}, {}, 0);
    row("search: /SBIN in capitals", {"find", "search", "/USR/SBIN/ifconfig"}, {"net-tools: /sbin/ifconfig"}, {}, 0);
    row("search: every matching file", {"find", "search", "*ls*"}, {"coreutils: /bin/ls", "coreutils: /usr/share/man/man1/ls.1.gz"}, {}, 0);
    row("search -l", {"find", "-l", "search", "zqp?"}, {"zqpa", "zqpb", "zqpc", "zqpd"}, {}, 0);
    row("search --json", {"find", "--json", "search", "/bin/ls"},
        {R"({"package":"coreutils","version":"9.1-1","architecture":"amd64","path":"/bin/ls"})"}, {}, 0);
    row("search: nothing", {"find", "search", "nonexistent-file-xyz"}, {}, {}, 1);
    row("list", {"find", "list", "coreutils:amd64"}, {"/bin/ls", "/usr/share/man/man1/ls.1.gz"}, {}, 0);
    row("list: no such package", {"find", "list", "nosuchpackage"}, {},
        {QString::fromUtf8("quorvi-find：软件包目录中没有软件包 nosuchpackage")}, 1);
    row("show: the epoch, the state read now", {"find", "show", "zqedit"},
        QString::fromUtf8("软件包：zqedit|版本：1:2.0-3|架构：amd64|摘要：an editor whose command update-alternatives makes|"
                          "分类：editors|安装状态：未安装|安装命令：%1zqedit").arg(install).split('|'), {}, 0);
    row("show --json", {"find", "--json", "show", "zqpd"},
        {QString(R"({"package":"zqpd","version":"1-1","architecture":"amd64","summary":"near names d, installed",)"
                 R"("section":"utils","installed":true,"installed_version":"1-1","install_command":"%1zqpd"})").arg(install)},
        {}, 0);
    row("names: a prefix", {"find", "names", "zqedit*"}, {"zqedit-2.0-3.amd64", "zqedit-tiny-2.0-3.amd64"}, {}, 0);
    row("names -l -0 ends with NUL", {"find", "-l", "-0", "names", "zqp*"}, {QString::fromLatin1("zqpa\0zqpb\0zqpc\0zqpd\0", 20)}, {}, 0);
    row("usage: an unknown command", {"find", "find", "x"}, {}, {QString::fromUtf8("quorvi-find：命令行有误"), "..."}, 2);
    row("usage: -l with list", {"find", "-l", "list", "coreutils"}, {}, {QString::fromUtf8("quorvi-find：命令行有误"), "..."}, 2);
    row("no catalogue", {"find", "--catalogue", "missing.db", "search", "x"}, {},
        {QString::fromUtf8("quorvi-find：没有找到软件包目录 missing.db"),
         QString::fromUtf8("用这条命令重新生成：quorvi-catalog -o os_pkg_list.db --apt-lists /var/lib/apt/lists")}, 3);
    row("another format", {"find", "--catalogue", "format2.db", "search", "x"}, {},
        {QString::fromUtf8("quorvi-find：format2.db：这个软件包目录是旧格式或另一种格式的，不含可读的文件列表。"), "..."}, 3);

    row("handler: a command in /sbin", {"handler", "ifconfig"}, {},
        {found.arg("ifconfig"), "  " + install + QString::fromUtf8("net-tools    （/sbin/ifconfig）")}, 127);
    row("handler: /usr/games", {"handler", "zqgame"}, {},
        {found.arg("zqgame"), "  " + install + QString::fromUtf8("zqgame    （/usr/games/zqgame）")}, 127);
    row("handler: installed, folder not on PATH", {"handler", "ldconfig"}, {},
        {QString::fromUtf8("命令“ldconfig”已安装在 %1，但 %2 不在 PATH 中。可以这样运行它：%1").arg(ldconfig, ldconfigDir)}, 127,
        "/usr/bin:/bin");
    row("handler: a registered alternative", {"handler", "zqview"}, {},
        {QString::fromUtf8("找不到命令“zqview”。它是 update-alternatives 设置的命令，可以安装下面的软件包之一："),
         "  " + install + QString::fromUtf8("zqedit    （/usr/bin/zqedit.basic）"),
         "  " + install + QString::fromUtf8("zqedit-tiny    （/usr/bin/zqedit.tiny）")}, 127);
    row("handler: the rule for alternatives", {"handler", "zqjava"}, {},
        {QString::fromUtf8("找不到命令“zqjava”。它是 update-alternatives 设置的命令，可以安装下面的软件包之一："),
         "  " + install + QString::fromUtf8("zqjdk-17    （/usr/lib/jvm/zqjava-17/bin/zqjava）")}, 127);
    row("handler: near names, installed first", {"handler", "zqpe"}, {},
        {QString::fromUtf8("找不到命令“zqpe”。相近的命令："), QString::fromUtf8("  zqpd（软件包 zqpd，已安装）"),
         QString::fromUtf8("  zqpa（软件包 zqpa）：") + install + "zqpa", QString::fromUtf8("  zqpb（软件包 zqpb）：") + install + "zqpb"},
        127);
    row("handler: outside the command folders", {"handler", "zqdoc"}, {},
        {QString::fromUtf8("找不到命令“zqdoc”，软件包目录中也没有提供它的软件包。")}, 127);
    row("handler: wildcards are letters", {"handler", "zqp*"}, {},
        {QString::fromUtf8("找不到命令“zqp*”，软件包目录中也没有提供它的软件包。")}, 127);
    row("crafted catalogue", {"find", "--catalogue", "crafted.db", "search", "zqfind"}, {},
        {QString::fromUtf8("quorvi-find：crafted.db 无法读取（damaged catalogue: compressed blob of unknown or too large size）。"), "..."}, 3);
    row("handler: crafted catalogue", {"handler", "--catalogue", "crafted.db", "zqfind"}, {}, {"zqfind: command not found"}, 127);
    row("handler: no catalogue", {"handler", "--catalogue", "missing.db", "zqfind"}, {}, {"zqfind: command not found"}, 127);
    row("handler: another format", {"handler", "--catalogue", "format2.db", "zqfind"}, {}, {"zqfind: command not found"}, 127);
}

void tst_Shell::commandLines()
{
    QFETCH(QStringList, command);
    QFETCH(QString, path);
    QFETCH(QStringList, out);
    QFETCH(QStringList, err);
    QFETCH(int, status);
    QProcess process;
    process.setWorkingDirectory(dir.path());
    QProcessEnvironment env;
    env.insert("PATH", path);
    env.insert("HOME", dir.filePath("home"));
    env.insert("QUORVI_DPKG_STATUS", testData("shell/status"));
    env.insert("QUORVI_ALTERNATIVES", testData("shell/alternatives"));
    process.setProcessEnvironment(env);
    const QString program = command.takeFirst() == "find" ? QUORVI_FIND_BIN : QUORVI_HANDLER_BIN;
    process.start(program, command);
    QVERIFY(process.waitForFinished(60000));
    const QByteArray stdoutBytes = process.readAllStandardOutput();
    const QString stdoutText = QString::fromUtf8(stdoutBytes.constData(), stdoutBytes.size()); // NULs kept
    QStringList errLines = QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(stdoutText.split('\n', Qt::SkipEmptyParts), out);
    if (!err.isEmpty() && err.last() == "...") {
        err.removeLast();
        errLines = errLines.mid(0, err.size());
    }
    QCOMPARE(errLines, err);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
}

QTEST_GUILESS_MAIN(tst_Shell)
#include "tst_shell.moc"
