// A Qt generic plugin that drives the finder's real executable in a test (loaded through
// QT_QPA_GENERIC_PLUGINS=quorvifirstrundriver): it answers each message box (with the button
// "建立软件包目录…" where there is one, else the first), searches for gcc* once the window
// is up, and prints what it saw on stdout until the window names a catalogue and its
// search finds rows, or a box said that no builder was found. Sources for the builder
// come from QUORVI_DRIVER_SOURCES (separated by "|"), so no build reads the machine's lists.
#include "cataloguebuilddialog.h"

#include <QApplication>
#include <QGenericPlugin>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>

namespace {
void say(const QString &line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

class Driver : public QObject
{
public:
    Driver()
    {
        CatalogueBuildDialog::overrideBuilder(QString(), qEnvironmentVariable("QUORVI_DRIVER_SOURCES").split('|'));
        connect(&timer, &QTimer::timeout, this, &Driver::step);
        timer.start(20);
    }

private:
    void step()
    {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            answer(box);
            return;
        }
        QMainWindow *window = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets())
            window = widget->inherits("MainWindow") && widget->isVisible() ? qobject_cast<QMainWindow *>(widget) : window;
        if (!window || QApplication::activeModalWidget())
            return;
        const QString status = window->statusBar()->currentMessage();
        if (noBuilder || (searches == 2 && status.startsWith(QString::fromUtf8("找到")))) {
            say("dialogs: " + QString::number(window->findChildren<QProgressDialog *>().size()));
            say("status: " + status);
            QApplication::exit(0);
        } else if (searches == 0 || (searches == 1 && status.startsWith(QString::fromUtf8("软件包目录：")))) {
            say("status: " + status);
            window->findChild<QLineEdit *>("keyworkLineEdit")->setText("gcc*");
            ++searches;
            window->findChild<QPushButton *>("searchPushButton")->click();
        }
    }

    void answer(QMessageBox *box)
    {
        QStringList buttons;
        QAbstractButton *chosen = box->buttons().value(0);
        for (QAbstractButton *button : box->buttons()) {
            buttons << button->text();
            chosen = button->text() == QString::fromUtf8("建立软件包目录…") ? button : chosen;
        }
        say("box: " + box->text() + " [" + buttons.join(',') + "] " + box->informativeText().replace('\n', ' '));
        noBuilder = noBuilder || box->text().contains("quorvi-catalog");
        chosen->click();
    }

    QTimer timer;
    int searches = 0;
    bool noBuilder = false;
};
} // namespace

class FirstRunDriverPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "firstrundriver.json")

public:
    QObject *create(const QString &, const QString &) override { return new Driver; }
};

#include "firstrundriver.moc"
