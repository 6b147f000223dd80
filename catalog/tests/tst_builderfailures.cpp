// Failure behaviour of the real quorvi-catalog binary: bad inputs, usage
// errors and interrupted runs must leave an existing catalogue untouched.

#include "catalogtestsupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <QStandardPaths>

#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

using namespace CatalogTest;

class BuilderFailuresTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void badInput_data();
    void badInput();
    void usage_data();
    void usage();
    void phasesInOrder();
    void killedAtPhase_data();
    void killedAtPhase();
    void terminatedRun_data();
    void terminatedRun();
    void staleTempFiles();
    void unwritableFolder();
    void fileSizeLimitReached();

private:
    QString db() const { return m_dir->filePath("os_pkg_list.db"); }
    QByteArray buildOldCatalogue();
    void writeLargeContents();
    QStringList runToPhase(const QStringList &args, const QString &stopAt, int signal,
                           QProcess::ExitStatus *status = nullptr, const QString &wrapper = {});
    Run runThrough(const QString &program, const QStringList &args);

    QTemporaryDir m_large;
    std::unique_ptr<QTemporaryDir> m_dir;
};

// A generated Packages list of 2000 packages. (Each test function runs in a
// QtTest run of its own, which starts here: anything slow belongs elsewhere.)
void BuilderFailuresTest::initTestCase()
{
    QVERIFY(m_large.isValid());
    QByteArray packages;
    for (int p = 0; p < 2000; ++p)
        packages += "Package: pkg" + QByteArray::number(p)
                    + "\nVersion: 1.0-1\nArchitecture: amd64\n\n";
    QVERIFY(writeBytes(m_large.filePath("Packages"), packages));
}

// A generated Contents list for those packages whose catalogue takes more than
// two megabytes (300,000 files in as many directories).
void BuilderFailuresTest::writeLargeContents()
{
    QFile contents(m_large.filePath("Contents"));
    QVERIFY(contents.open(QIODevice::WriteOnly));
    QByteArray chunk;
    for (int line = 0; line < 300000; ++line) {
        const QByteArray pkg = QByteArray::number(line % 2000);
        chunk += "usr/share/pkg" + pkg + "/d" + QByteArray::number(line / 2000) + "/file-"
                 + QByteArray::number(line % 977) + ".txt    misc/pkg" + pkg + '\n';
        if (chunk.size() > (1 << 20)) {
            QVERIFY(contents.write(chunk) == chunk.size());
            chunk.clear();
        }
    }
    QVERIFY(contents.write(chunk) == chunk.size());
    contents.close();
}

void BuilderFailuresTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QByteArray BuilderFailuresTest::buildOldCatalogue()
{
    const Run run = runBuilder({"-o", db(), "--packages", dataPath("Packages"), "--contents",
                                dataPath("Contents")});
    const QByteArray bytes = readBytes(db());
    if (run.exitCode != 0 || bytes.isEmpty()) {
        qWarning("could not build the old catalogue: %s", qPrintable(run.err));
    }
    return bytes;
}

void BuilderFailuresTest::badInput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error"); // regular expression for stderr
    QTest::newRow("missing file") << QStringList{"--packages", "@/does-not-exist"}
                                  << "^quorvi-catalog: .*/does-not-exist: cannot read";
    QTest::newRow("PNG image") << QStringList{"--packages", "@/logo.png"}
                               << "^quorvi-catalog: .*/logo.png:1: not a \"Field: value\" line";
    QTest::newRow("random bytes") << QStringList{"--contents", "@/random.bin"}
                                  << "^quorvi-catalog: .*/random.bin:\\d+: binary data";
    QTest::newRow("zip archive") << QStringList{"--packages", "@/archive.zip"}
                                 << "^quorvi-catalog: .*/archive.zip:1: binary data";
    QTest::newRow("truncated gzip") << QStringList{"--packages", "@/Packages.gz"}
                                    << "^quorvi-catalog: .*/Packages.gz: cannot read: ";
    QTest::newRow("malformed stanza")
        << QStringList{"--packages", dataPath("Packages-bad")}
        << "^quorvi-catalog: .*/Packages-bad:5: malformed stanza: no Version field";
    QTest::newRow("Contents line without location")
        << QStringList{"--packages", dataPath("Packages"), "--contents", dataPath("Contents-bad")}
        << "^quorvi-catalog: .*/Contents-bad:2: Contents line without a location";
    QTest::newRow("broken XML") << QStringList{"--repodata", dataPath("bad-repo")}
                                << "^quorvi-catalog: .*/0123abcd-primary.xml:7:9: XML error";
    QTest::newRow("no repomd.xml") << QStringList{"--repodata", "@"}
                                   << "^quorvi-catalog: .*/repodata/repomd.xml: cannot read";
}

// Each bad input fails with a located message and leaves the old catalogue
// byte for byte as it was, with no temporary file left behind.
void BuilderFailuresTest::badInput()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20);
    QVERIFY(writeBytes(m_dir->filePath("logo.png"), png));
    QByteArray random(4096, '\0');
    QRandomGenerator generator(42);
    for (char &c : random)
        c = char(generator.bounded(256));
    QVERIFY(writeBytes(m_dir->filePath("random.bin"), random));
    QVERIFY(writeBytes(m_dir->filePath("archive.zip"), QByteArray("PK\x03\x04\x14\0\0\0", 8)));
    QCOMPARE(QProcess::execute("sh", {"-c", QString("gzip -c < '%1' | head -c 300 > '%2'")
                                                 .arg(dataPath("Packages"),
                                                      m_dir->filePath("Packages.gz"))}),
             0);

    const QByteArray before = buildOldCatalogue();
    QVERIFY(!before.isEmpty());
    for (QString &arg : args)
        arg.replace(QRegularExpression("^@"), m_dir->path());
    const Run run = runBuilder(QStringList{"-o", db()} + args);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(QRegularExpression(error).match(run.err).hasMatch(), qPrintable(run.err));
    QCOMPARE(readBytes(db()), before);
    QCOMPARE(tempFilesOf(m_dir->path(), "os_pkg_list.db"), QStringList());
}

void BuilderFailuresTest::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    QTest::newRow("nothing") << QStringList() << "no output catalogue";
    QTest::newRow("no sources") << QStringList{"-o", "@"} << "no sources given";
    QTest::newRow("unknown option") << QStringList{"-o", "@", "--bogus"}
                                    << "Unknown option 'bogus'.";
    QTest::newRow("missing value") << QStringList{"-o", "@", "--packages"}
                                   << "Missing value after '--packages'.";
    QTest::newRow("plain argument") << QStringList{"-o", "@", "--packages", "P", "stray"}
                                    << "unexpected argument: stray";
    QTest::newRow("info without status") << QStringList{"-o", "@", "--dpkg-info", "/tmp"}
                                         << "--dpkg-info needs --dpkg-status";
    // Options that would silently override one another.
    const QString packages = dataPath("Packages");
    QTest::newRow("-o twice") << QStringList{"-o", "@", "-o", "@", "--packages", packages}
                              << "-o/--output may be given only once";
    QTest::newRow("-o and --output") << QStringList{"--output", "@", "-o", "@", "--packages", packages}
                                     << "-o/--output may be given only once";
    QTest::newRow("two dpkg admin folders")
        << QStringList{"-o", "@", "--dpkg-admin", "/a", "--dpkg-admin", "/b"}
        << "--dpkg-admin may be given only once";
    QTest::newRow("two dpkg status files")
        << QStringList{"-o", "@", "--dpkg-status", "/a/status", "--dpkg-status", "/b/status"}
        << "--dpkg-status may be given only once";
    QTest::newRow("two dpkg info folders")
        << QStringList{"-o", "@", "--dpkg-status", "/a/status", "--dpkg-info", "/a",
                       "--dpkg-info", "/b"}
        << "--dpkg-info may be given only once";
    QTest::newRow("admin folder and status file")
        << QStringList{"-o", "@", "--dpkg-admin", "/b", "--dpkg-status", "/a/status"}
        << "--dpkg-admin and --dpkg-status cannot be combined";
    QTest::newRow("installed and status file")
        << QStringList{"-o", "@", "--installed", "--dpkg-status", "/a/status"}
        << "--installed and --dpkg-status cannot be combined";
    QTest::newRow("installed twice") << QStringList{"-o", "@", "--installed", "--installed"}
                                     << "--installed may be given only once";
    QTest::newRow("info with admin folder")
        << QStringList{"-o", "@", "--dpkg-info", "/x", "--dpkg-admin", "/b"}
        << "--dpkg-info cannot be combined with --dpkg-admin or --installed";
}

void BuilderFailuresTest::usage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    args.replaceInStrings(QRegularExpression("^@$"), db());
    const Run run = runBuilder(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith("quorvi-catalog: " + error), qPrintable(run.err));
    QVERIFY(run.err.contains("usage: quorvi-catalog"));
    QVERIFY(!QFileInfo::exists(db()));
}

// Runs the builder with its phases announced (see PhaseGate) and lets it pass each
// phase up to `stopAt`, where it sends `signal` while the builder waits there. Returns
// the phases it announced; an empty `stopAt` lets it run to the end. A builder that
// outlives the signal goes on through its later phases. `wrapper` (nohup) execs it.
QStringList BuilderFailuresTest::runToPhase(const QStringList &args, const QString &stopAt,
                                            int signal, QProcess::ExitStatus *status,
                                            const QString &wrapper)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVI_CATALOG_PHASES", "1");
    process.setProcessEnvironment(env);
    process.setReadChannel(QProcess::StandardError);
    if (wrapper.isEmpty()) {
        process.start(QStringLiteral(QUORVI_CATALOG_BIN), args);
    } else {
        process.start(wrapper, QStringList{QStringLiteral(QUORVI_CATALOG_BIN)} + args);
    }
    QStringList phases;
    if (!process.waitForStarted()) {
        return phases;
    }
    const QString announce = QStringLiteral("quorvi-catalog: phase ");
    for (;;) {
        while (!process.canReadLine() && process.waitForReadyRead(-1)) {
        }
        if (!process.canReadLine()) {
            break; // the builder has ended
        }
        const QString line = QString::fromUtf8(process.readLine()).trimmed();
        if (!line.startsWith(announce)) {
            continue;
        }
        phases << line.mid(announce.size());
        if (phases.last() == stopAt) {
            ::kill(pid_t(process.processId()), signal);
            process.closeWriteChannel();
            break;
        }
        process.write("\n");
        process.waitForBytesWritten(-1);
    }
    process.waitForFinished(-1);
    if (status) {
        *status = process.exitStatus();
    }
    return phases;
}

static const QStringList kPhases{"started",
                                 "temporary file created",
                                 "reading packages",
                                 "reading file lists",
                                 "writing packages",
                                 "writing file names",
                                 "writing directories",
                                 "writing file links",
                                 "writing indexes",
                                 "written",
                                 "renamed"};

// A build with file lists passes every phase, in this order.
void BuilderFailuresTest::phasesInOrder()
{
    QProcess::ExitStatus status = QProcess::CrashExit;
    const QStringList phases = runToPhase({"-o", db(), "--quiet", "--packages", dataPath("Packages"),
                                           "--contents", dataPath("Contents")},
                                          QString(), 0, &status);
    QCOMPARE(phases, kPhases);
    QCOMPARE(status, QProcess::NormalExit);
    QCOMPARE(packageRows(db()).size(), 8);
}

void BuilderFailuresTest::killedAtPhase_data()
{
    QTest::addColumn<QString>("phase");
    for (const QString &phase : kPhases)
        QTest::newRow(qPrintable(phase)) << phase;
}

// SIGKILL at each phase (nothing can clean up after it): until the rename the target is
// the old catalogue byte for byte, after it the whole new one. The next run removes the
// temporary file that the killed run left behind.
void BuilderFailuresTest::killedAtPhase()
{
    QFETCH(QString, phase);
    const QByteArray before = buildOldCatalogue();
    QVERIFY(!before.isEmpty());
    // The new catalogue has the generated packages besides the old one's.
    const QStringList args{"-o", db(), "--quiet", "--packages", dataPath("Packages"), "--packages",
                           m_large.filePath("Packages"), "--contents", dataPath("Contents")};
    QProcess::ExitStatus status = QProcess::NormalExit;
    const QStringList phases = runToPhase(args, phase, SIGKILL, &status);
    QCOMPARE(phases.last(), phase);
    QCOMPARE(status, QProcess::CrashExit);

    const QStringList temps = tempFilesOf(m_dir->path(), "os_pkg_list.db");
    if (phase == "renamed") {
        QVERIFY(readBytes(db()) != before);
        QCOMPARE(query(db(), "PRAGMA integrity_check"), QStringList{"ok"});
        QCOMPARE(temps, QStringList());
    } else {
        QCOMPARE(readBytes(db()), before);
        QCOMPARE(temps.size(), phase == "started" ? 0 : 1);
    }
    const QStringList killedPackages = packageRows(db());
    const QStringList killedFiles = fileRows(db());

    // The next run cleans up; a catalogue renamed into place was already the whole one.
    QCOMPARE(runBuilder(args).exitCode, 0);
    QCOMPARE(tempFilesOf(m_dir->path(), "os_pkg_list.db"), QStringList());
    QCOMPARE(packageRows(db()).size(), 2008);
    if (phase == "renamed") {
        QCOMPARE(killedPackages, packageRows(db()));
        QCOMPARE(killedFiles, fileRows(db()));
    }
}

void BuilderFailuresTest::terminatedRun_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("wrapper");
    QTest::newRow("SIGTERM") << int(SIGTERM) << QString();
    QTest::newRow("SIGHUP") << int(SIGHUP) << QString();
    QTest::newRow("SIGHUP under nohup") << int(SIGHUP) << QStringLiteral("nohup");
}

// A signal while the builder reads its inputs: its handler removes the temporary file
// before the process dies, and the old catalogue stays. A signal ignored when the
// builder started (nohup) stays ignored, and the build goes on to the end.
void BuilderFailuresTest::terminatedRun()
{
    QFETCH(int, signal);
    QFETCH(QString, wrapper);
    if (!wrapper.isEmpty() && QStandardPaths::findExecutable(wrapper).isEmpty()) {
        QSKIP("nohup (coreutils) is not installed");
    }
    const QByteArray before = "the old catalogue";
    QVERIFY(writeBytes(db(), before));
    QProcess::ExitStatus status = QProcess::NormalExit;
    runToPhase({"-o", db(), "--quiet", "--packages", dataPath("Packages"), "--contents",
                dataPath("Contents")},
               "reading file lists", signal, &status, wrapper);
    QCOMPARE(status, wrapper.isEmpty() ? QProcess::CrashExit : QProcess::NormalExit);
    QCOMPARE(tempFilesOf(m_dir->path(), "os_pkg_list.db"), QStringList());
    if (wrapper.isEmpty()) {
        QCOMPARE(readBytes(db()), before);
    } else {
        QCOMPARE(packageRows(db()).size(), 8);
    }
}

// A temporary file is in use while a build holds its lock, whatever PID its
// name shows (a build in another PID namespace shows one that looks dead or
// belongs to someone else). Unlocked temporaries are removed, other files left.
void BuilderFailuresTest::staleTempFiles()
{
    QProcess finished;
    finished.start("sleep", {"0.1"});
    QVERIFY(finished.waitForStarted());
    const qint64 deadPid = finished.processId();
    QVERIFY(finished.waitForFinished());
    const QString pattern = QStringLiteral(".os_pkg_list.db.tmp-%1-%2");
    const QString stale = pattern.arg(deadPid).arg("abcdef");
    const QString lockedDeadPid = pattern.arg(deadPid).arg("ghijkl");
    const QString unlockedLivePid = pattern.arg(QCoreApplication::applicationPid()).arg("mnopqr");
    const QString other = QStringLiteral(".other.db.tmp-999999-abcdef");
    for (const QString &name : {stale, lockedDeadPid, unlockedLivePid, other})
        QVERIFY(writeBytes(m_dir->filePath(name), "partial"));
    QFile held(m_dir->filePath(lockedDeadPid));
    QVERIFY(held.open(QIODevice::ReadOnly));
    QCOMPARE(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);

    QCOMPARE(runBuilder({"-o", db(), "--packages", dataPath("Packages")}).exitCode, 0);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(stale)));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(unlockedLivePid)));
    QVERIFY(QFileInfo::exists(m_dir->filePath(lockedDeadPid)));
    QVERIFY(QFileInfo::exists(m_dir->filePath(other)));

    held.close(); // the build that held it has ended: the next run cleans up
    QCOMPARE(runBuilder({"-o", db(), "--packages", dataPath("Packages")}).exitCode, 0);
    QCOMPARE(tempFilesOf(m_dir->path(), "os_pkg_list.db"), QStringList());
}

// Runs `program` (a wrapper such as setpriv or sh) with `args`, the builder among them.
Run BuilderFailuresTest::runThrough(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    Run run;
    if (!process.waitForStarted() || !process.waitForFinished(120000)) {
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// A target folder the builder may not write to: a clear error, the old catalogue
// untouched. Root may write anywhere, so as root the builder runs as nobody.
void BuilderFailuresTest::unwritableFolder()
{
    const QByteArray before = buildOldCatalogue();
    QVERIFY(!before.isEmpty());
    QStringList command{QStringLiteral(QUORVI_CATALOG_BIN), "-o", db(), "--packages", dataPath("Packages")};
    QString program = command.takeFirst();
    if (::geteuid() == 0) {
        if (QStandardPaths::findExecutable("setpriv").isEmpty()) {
            QSKIP("running as root without setpriv: no user to whom the folder is closed");
        }
        command.prepend(program);
        command = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--"} + command;
        program = QStringLiteral("setpriv");
        // nobody may enter the folder and read the old catalogue, not write.
        QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                 | QFile::ReadOther | QFile::ExeOther);
    } else {
        QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner);
    }
    const Run run = runThrough(program, command);
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (run.exitCode == 0 || run.err.isEmpty()) {
        QVERIFY2(false, qPrintable("exit " + QString::number(run.exitCode) + ": " + run.err));
    }
    QVERIFY2(run.err.startsWith("quorvi-catalog: "), qPrintable(run.err));
    QVERIFY2(run.err.contains(m_dir->path()), qPrintable(run.err));
    QCOMPARE(readBytes(db()), before);
    QCOMPARE(tempFilesOf(m_dir->path(), "os_pkg_list.db"), QStringList());
}

// Running out of room while writing (a file size limit stands in for a full
// disk): a clear error, the old catalogue untouched, no temporary file left.
void BuilderFailuresTest::fileSizeLimitReached()
{
    if (QStandardPaths::findExecutable("prlimit").isEmpty()) {
        QSKIP("prlimit (util-linux) is not installed");
    }
    writeLargeContents();
    const QByteArray before = buildOldCatalogue();
    QVERIFY(!before.isEmpty());
    const QString script = QStringLiteral("trap '' XFSZ; exec prlimit --fsize=1000000 \"$@\"");
    const Run run = runThrough("sh", {"-c", script, "sh", QStringLiteral(QUORVI_CATALOG_BIN), "-o", db(),
                                      "--quiet", "--packages", m_large.filePath("Packages"),
                                      "--contents", m_large.filePath("Contents")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith("quorvi-catalog: "), qPrintable(run.err));
    QCOMPARE(readBytes(db()), before);
    QCOMPARE(tempFilesOf(m_dir->path(), "os_pkg_list.db"), QStringList());
}

QUORVI_GUARDED_TEST_MAIN(BuilderFailuresTest)
#include "tst_builderfailures.moc"
