#ifndef CATALOGUEBUILDOFFER_H
#define CATALOGUEBUILDOFFER_H

#include <QObject>

class QAction;
class QStatusBar;
class QToolButton;
class QWidget;

// The window's offer to make the user's catalogue when none was found: the action
// "建立软件包目录…" (also a button at the right of the status bar while there is no
// catalogue), which runs the builder in a CatalogueBuildDialog.
class CatalogueBuildOffer : public QObject
{
    Q_OBJECT

public:
    CatalogueBuildOffer(QWidget *window, QStatusBar *statusBar);

    // Shows or hides the status bar's button; the action stays reachable either way.
    void offer(bool shown);
    QAction *action() const { return buildAction; }

signals:
    // The builder ended with the user's catalogue in place.
    void catalogueBuilt();

private:
    void build();

    QWidget *window;
    QAction *buildAction;
    QToolButton *button;
};

#endif // CATALOGUEBUILDOFFER_H
