#include "cataloguebuilddialog.h"
#include "builderprogram.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include "plainmessagebox.h"
#include <QStandardPaths>
#include <QTimer>

namespace {
// The progress lines' scale: thousandths of the current step.
const int fullScale = 1000;
// How long a cancelled builder has to remove its temporary file before it is killed.
const int terminateGraceMs = 10000;
// What the builder says besides its progress is kept up to this many characters, its
// last lines, for a failure's box; a line without end is held up to this much too.
const int maxOutputChars = 64 * 1024;

struct BuilderOverride
{
    QString program;
    QStringList arguments;
};

BuilderOverride &builderOverride()
{
    static BuilderOverride value;
    return value;
}
} // namespace

CatalogueBuildDialog::CatalogueBuildDialog(QWidget *parent)
    : QProgressDialog(parent)
    , builder(new QProcess(this))
{
    setObjectName(QStringLiteral("catalogueBuildDialog"));
    setWindowTitle(tr("建立软件包目录"));
    // The step's label names the builder's inputs: shown as the characters they are.
    auto *plainLabel = new QLabel(this);
    plainLabel->setTextFormat(Qt::PlainText);
    setLabel(plainLabel);
    setLabelText(tr("正在建立软件包目录……"));
    setCancelButtonText(tr("取消"));
    setRange(0, fullScale);
    setAutoClose(false);
    setAutoReset(false);
    setMinimumDuration(0);
    setWindowModality(Qt::WindowModal);
    // QProgressDialog hides itself on Cancel; the build ends in ended().
    disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
    connect(this, &QProgressDialog::canceled, this, &CatalogueBuildDialog::cancelBuild);
    connect(builder, &QProcess::readyReadStandardError, this, &CatalogueBuildDialog::readProgress);
    connect(builder, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &CatalogueBuildDialog::ended);
    connect(builder, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            failed(tr("无法启动 %1：%2").arg(builder->program(), builder->errorString()));
        }
    });
}

CatalogueBuildDialog::~CatalogueBuildDialog()
{
    // A window closed during the build: the builder ends and cleans up as on Cancel, on
    // its own time. The process object outlives the dialog until the builder has ended,
    // killed if it is still there after the grace time; the window never waits for it.
    if (builder->state() == QProcess::NotRunning) {
        return;
    }
    QProcess *ending = builder;
    disconnect(ending, nullptr, this, nullptr);
    ending->setParent(nullptr);
    connect(ending, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), ending, &QObject::deleteLater);
    ending->terminate();
    QTimer::singleShot(terminateGraceMs, ending, [ending] { ending->kill(); });
}

QString CatalogueBuildDialog::builderProgram()
{
    if (!builderOverride().program.isEmpty()) {
        return builderOverride().program;
    }
    return BuilderProgram::find(QCoreApplication::applicationDirPath());
}

void CatalogueBuildDialog::overrideBuilder(const QString &program, const QStringList &extraArguments)
{
    builderOverride() = BuilderOverride{program, extraArguments};
}

void CatalogueBuildDialog::start()
{
    const QString program = builderProgram();
    if (program.isEmpty()) {
        failed(tr("没有找到 quorvi-catalog：它既不在查找器旁边，也不在 PATH 中。"));
        return;
    }
    show();
    builder->setProgram(program);
    builder->setArguments(QStringList{QStringLiteral("--user"), QStringLiteral("--progress-fd"), QStringLiteral("2")}
                         + builderOverride().arguments);
    builder->start();
}

// Every complete line is handled, then what is left kept in one step; a line without end
// keeps only its last part.
void CatalogueBuildDialog::readProgress()
{
    pending += builder->readAllStandardError();
    int begin = 0;
    for (int end; (end = pending.indexOf('\n', begin)) >= 0; begin = end + 1) {
        handleLine(QString::fromUtf8(pending.constData() + begin, end - begin));
    }
    pending.remove(0, begin);
    if (pending.size() > maxOutputChars) {
        pending.remove(0, pending.size() - maxOutputChars);
    }
}

void CatalogueBuildDialog::keepOutput(const QString &line)
{
    output << line.right(maxOutputChars);
    outputChars += output.last().size() + 1;
    while (outputChars > maxOutputChars && output.size() > 1) {
        outputChars -= output.first().size() + 1;
        output.removeFirst();
    }
}

// "progress PERMILLE LABEL" moves the bar; "progress end" closes a step; anything else is
// the builder speaking, kept for a failure's box.
void CatalogueBuildDialog::handleLine(const QString &line)
{
    const QString prefix = QStringLiteral("progress ");
    if (!line.startsWith(prefix)) {
        keepOutput(line);
        return;
    }
    const QString rest = line.mid(prefix.size());
    const int space = rest.indexOf(QLatin1Char(' '));
    bool number = false;
    const int permille = rest.left(space).toInt(&number);
    if (!number || space < 0) {
        return;
    }
    const QString label = rest.mid(space + 1);
    setLabelText(tr("正在建立软件包目录……\n%1").arg(BuildProgressScale::phaseText(label)));
    setValue(scale.advance(permille, label));
    emit progressed(permille, rest.mid(space + 1));
}

void CatalogueBuildDialog::cancelBuild()
{
    if (builder->state() == QProcess::NotRunning || cancelling) {
        return;
    }
    cancelling = true;
    setLabelText(tr("正在停止……"));
    builder->terminate();
    QTimer::singleShot(terminateGraceMs, builder, [process = builder] {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
        }
    });
}

void CatalogueBuildDialog::reject()
{
    if (builder->state() != QProcess::NotRunning) {
        cancelBuild();
        return;
    }
    QProgressDialog::reject();
}

void CatalogueBuildDialog::ended(int exitCode, QProcess::ExitStatus status)
{
    readProgress();
    if (!pending.isEmpty()) {
        keepOutput(QString::fromUtf8(pending));
    }
    pending.clear();
    if (cancelling) {
        reject();
        return;
    }
    if (status == QProcess::NormalExit && exitCode == 0) {
        setValue(fullScale);
        accept();
        return;
    }
    failed(output.join(QLatin1Char('\n')).trimmed());
}

void CatalogueBuildDialog::failed(const QString &why)
{
    hide();
    PlainMessageBox::critical(parentWidget(), tr("建立软件包目录"), tr("没能建立软件包目录。\n%1").arg(why));
    reject();
}
