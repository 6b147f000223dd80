#include "plainmessagebox.h"

#include <QLabel>
#include <QMessageBox>

namespace PlainMessageBox {

void critical(QWidget *parent, const QString &title, const QString &text, const QString &informativeText,
              QMessageBox::StandardButton button)
{
    QMessageBox box(QMessageBox::Critical, title, text, button, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::NoButton);
    if (!informativeText.isEmpty()) {
        box.setInformativeText(informativeText);
        for (QLabel *label : box.findChildren<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"))) {
            label->setTextFormat(Qt::PlainText);
        }
    }
    box.exec();
}

} // namespace PlainMessageBox
