#include "cataloguebuildoffer.h"
#include "cataloguebuilddialog.h"

#include <QAction>
#include <QStatusBar>
#include <QToolButton>

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

// One build at a time: the dialog is window-modal while it runs.
void CatalogueBuildOffer::build()
{
    auto *dialog = new CatalogueBuildDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this](int result) {
        if (result == QDialog::Accepted) {
            emit catalogueBuilt();
        }
    });
    dialog->start();
}
