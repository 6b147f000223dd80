#include "cataloguebuildoffer.h"
#include "builderprogram.h"
#include "cataloguebuilddialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

namespace {
QMessageBox *windowModalBox(QWidget *window, QMessageBox::Icon icon, const QString &text, const QString &details)
{
    auto *box = new QMessageBox(icon, CatalogueBuildOffer::tr("建立软件包目录"), text, QMessageBox::NoButton, window);
    box->setObjectName(QStringLiteral("catalogueBuildBox"));
    box->setInformativeText(details);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    return box;
}
} // namespace

CatalogueBuildOffer::CatalogueBuildOffer(QWidget *window, QStatusBar *statusBar)
    : QObject(window)
    , window(window)
    , buildAction(new QAction(tr("建立软件包目录…"), window))
    , button(new QToolButton(statusBar))
{
    buildAction->setObjectName(QStringLiteral("buildCatalogueAction"));
    window->addAction(buildAction);
    connect(buildAction, &QAction::triggered, this, &CatalogueBuildOffer::build);
    button->setObjectName(QStringLiteral("buildCatalogueButton"));
    button->setDefaultAction(buildAction);
    statusBar->addPermanentWidget(button);
    button->hide();
}

void CatalogueBuildOffer::offer(bool shown)
{
    button->setVisible(shown);
}

bool CatalogueBuildOffer::raiseOpen()
{
    if (!open || !open->isVisible()) {
        return false;
    }
    open->raise();
    open->activateWindow();
    return true;
}

void CatalogueBuildOffer::offerForSearch()
{
    if (raiseOpen()) {
        return;
    }
    QMessageBox *box = windowModalBox(window, QMessageBox::Information, tr("还没有软件包目录，无法搜索。"),
                                      tr("建立用户自己的软件包目录后，就可以搜索了。"));
    QPushButton *buildButton = box->addButton(buildAction->text(), QMessageBox::AcceptRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(buildButton);
    connect(buildButton, &QPushButton::clicked, this, &CatalogueBuildOffer::build, Qt::QueuedConnection);
    open = box;
    box->open();
}

// One build at a time: the dialog is window-modal while it runs.
void CatalogueBuildOffer::build()
{
    if (raiseOpen()) {
        return;
    }
    if (CatalogueBuildDialog::builderProgram().isEmpty()) {
        reportMissingBuilder();
        return;
    }
    auto *dialog = new CatalogueBuildDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this](int result) {
        if (result == QDialog::Accepted) {
            emit catalogueBuilt();
        }
    });
    open = dialog;
    dialog->start();
}

void CatalogueBuildOffer::reportMissingBuilder()
{
    const QStringList places = BuilderProgram::placesLooked(QCoreApplication::applicationDirPath());
    QMessageBox *box = windowModalBox(
        window, QMessageBox::Warning, tr("没有找到软件包目录生成器 %1。").arg(BuilderProgram::name()),
        tr("查找过这些位置：\n%1\n\n请安装 quorvi 软件包（它带有 %2），或者把 %2 所在的文件夹加入 PATH，"
           "然后再点击“%3”；也可以在终端中运行：%2 --user")
            .arg(places.join(QLatin1Char('\n')), BuilderProgram::name(), buildAction->text()));
    box->addButton(QMessageBox::Ok);
    open = box;
    box->open();
}
