#ifndef CATALOGUEBUILDOFFER_H
#define CATALOGUEBUILDOFFER_H

#include <QObject>
#include <QPointer>

class QAction;
class QStatusBar;
class QToolButton;
class QWidget;

// The window's offer to make the user's catalogue when none was found: the action
// "建立软件包目录…" (also a button at the right of the status bar while there is no
// catalogue), which runs the builder in a CatalogueBuildDialog. Where the finder has no
// builder, one box says where it looked and what to install instead. Boxes and the dialog
// are window-modal and open without waiting, one at a time: a second request while one
// is up raises it.
class CatalogueBuildOffer : public QObject
{
    Q_OBJECT

public:
    CatalogueBuildOffer(QWidget *window, QStatusBar *statusBar);

    // Shows or hides the status bar's button; the action stays reachable either way.
    void offer(bool shown);
    QAction *action() const { return buildAction; }
    // A search without a catalogue: a box that says so and offers the build.
    void offerForSearch();

signals:
    // The builder ended with the user's catalogue in place.
    void catalogueBuilt();

private:
    void build();
    bool raiseOpen();
    void reportMissingBuilder();

    QWidget *window;
    QAction *buildAction;
    QToolButton *button;
    QPointer<QWidget> open; // the box or build dialog on screen, if any
};

#endif // CATALOGUEBUILDOFFER_H
