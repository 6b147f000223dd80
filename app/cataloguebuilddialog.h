#ifndef CATALOGUEBUILDDIALOG_H
#define CATALOGUEBUILDDIALOG_H

#include "buildprogressscale.h"

#include <QProcess>
#include <QProgressDialog>
#include <QStringList>

// Makes the user's catalogue: runs "quorvi-catalog --user" as a child process and shows
// its progress, which the builder writes as lines on its stderr (--progress-fd 2).
// Cancel ends the builder with SIGTERM, on which it removes its temporary file: the
// catalogue appears only by the builder's final rename, so a cancelled or failed build
// leaves none (and the previous one, if any, as it was).
class CatalogueBuildDialog : public QProgressDialog
{
    Q_OBJECT

public:
    explicit CatalogueBuildDialog(QWidget *parent = nullptr);
    ~CatalogueBuildDialog() override;

    // quorvi-catalog beside the finder's executable or in the build tree, else the first
    // on PATH (BuilderProgram); empty when there is none.
    static QString builderProgram();
    // For tests: the builder to run and arguments added after "--user" (its sources);
    // an empty program restores the search above.
    static void overrideBuilder(const QString &program, const QStringList &extraArguments);

    // Starts the build; ends with finished(): accepted when the catalogue is in place,
    // rejected when the build failed (a box says why) or was cancelled.
    void start();
    QProcess *process() { return builder; }

    // Esc and closing the dialog cancel the build like the button; the dialog closes
    // once the builder has ended.
    void reject() override;

signals:
    // Each progress line of the builder: thousandths of the step and the step's label.
    void progressed(int permille, const QString &label);

private:
    void readProgress();
    void handleLine(const QString &line);
    void keepOutput(const QString &line);
    void ended(int exitCode, QProcess::ExitStatus status);
    void cancelBuild();
    void failed(const QString &why);

    QProcess *builder;   // this dialog's child, until a closing dialog leaves it to end
    QByteArray pending;  // a progress line not yet complete
    QStringList output;  // the last of what else the builder said: its error, if it fails
    int outputChars = 0; // in output, one for each line's end
    bool cancelling = false;
    BuildProgressScale scale; // the bar over all the builder's steps
};

#endif // CATALOGUEBUILDDIALOG_H
