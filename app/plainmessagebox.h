#ifndef PLAINMESSAGEBOX_H
#define PLAINMESSAGEBOX_H

#include <QMessageBox>
#include <QString>

class QWidget;

// A modal error box whose texts show as the characters they are: what goes wrong with a
// catalogue (SQLite's messages name its tables) or a build (the builder quotes the lists)
// is text that others chose, which Qt would otherwise take for markup when it looks like it.
namespace PlainMessageBox {

void critical(QWidget *parent, const QString &title, const QString &text, const QString &informativeText = QString(),
              QMessageBox::StandardButton button = QMessageBox::Ok);

} // namespace PlainMessageBox

#endif // PLAINMESSAGEBOX_H
