// A Qt generic plugin (QT_QPA_GENERIC_PLUGINS=quorvifirstrundriver) that drives the finder's
// own executable for tst_firstrun: it answers each box (with "建立软件包目录…" where it has
// it, else its first button), searches for gcc* once the window is up and again once a
// catalogue is named, and prints what it saw: "box: TEXT [BUTTONS]", then "dialogs: N"
// (progress dialogs left) and "status: TEXT" as it quits. The builder's sources come from
// QUORVI_DRIVER_SOURCES ("|" between arguments), so that no build reads the machine's lists.
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
int searches = 0;
bool noBuilder = false;

void step()
{
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
        QStringList texts;
        for (QAbstractButton *button : box->buttons())
            texts << button->text();
        std::printf("box: %s [%s]\n", qPrintable(box->text()), qPrintable(texts.join(',')));
        noBuilder = noBuilder || box->text().contains("quorvi-catalog");
        box->buttons().value(texts.indexOf(QString::fromUtf8("建立软件包目录…")), box->buttons().first())->click();
        return;
    }
    QMainWindow *window = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        window = widget->inherits("MainWindow") && widget->isVisible() ? qobject_cast<QMainWindow *>(widget) : window;
    const QString status = window && !QApplication::activeModalWidget() ? window->statusBar()->currentMessage() : "";
    if (!status.isEmpty() && (noBuilder || (searches == 2 && status.startsWith(QString::fromUtf8("找到"))))) {
        std::printf("dialogs: %d\nstatus: %s\n", int(window->findChildren<QProgressDialog *>().size()),
                    qPrintable(status.section(QString::fromUtf8("，"), 0, 0)));
        QApplication::exit(0);
    } else if (!status.isEmpty() && (searches == 0 || (searches == 1 && status.startsWith(QString::fromUtf8("软件包目录："))))) {
        window->findChild<QLineEdit *>("keyworkLineEdit")->setText("gcc*");
        window->findChild<QPushButton *>("searchPushButton")->click();
        ++searches;
    }
}
} // namespace

class FirstRunDriverPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "firstrundriver.json")

public:
    QObject *create(const QString &, const QString &) override
    {
        CatalogueBuildDialog::overrideBuilder(QString(), qEnvironmentVariable("QUORVI_DRIVER_SOURCES").split('|'));
        auto *timer = new QTimer;
        connect(timer, &QTimer::timeout, &step);
        timer->start(20);
        return timer;
    }
};

#include "firstrundriver.moc"
