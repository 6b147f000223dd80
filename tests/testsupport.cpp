#include "testsupport.h"

#include <QLabel>
#include <QTextDocument>
#include "cataloguelocator.h"
#include "mainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

BoxCloser::BoxCloser()
{
    connect(&timer, &QTimer::timeout, this, &BoxCloser::closeActiveBox);
    timer.start(10);
}

void BoxCloser::closeActiveBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box) {
        return;
    }
    ShownBox shown;
    shown.title = box->windowTitle();
    shown.text = box->text();
    shown.informativeText = box->informativeText();
    shown.icon = box->icon();
    shown.buttons = box->standardButtons();
    for (QLabel *label : box->findChildren<QLabel *>()) {
        if (label->objectName() == QLatin1String("qt_msgbox_label")
            || label->objectName() == QLatin1String("qt_msgbox_informativelabel")) {
            shown.shown += shownText(label->text(), label->textFormat()) + QLatin1Char('\n');
        }
    }
    shown.hasParent = box->parentWidget() != nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<MainWindow *>(widget) && widget->isVisible()) {
            shown.finderVisible = true;
        }
    }
    boxes << shown;
    const QList<QAbstractButton *> buttons = box->buttons();
    if (buttons.isEmpty()) {
        box->reject();
    } else {
        buttons.first()->click();
    }
}

void searchFor(MainWindow &window, const QString &keyword)
{
    auto *edit = window.findChild<QLineEdit *>(QStringLiteral("keyworkLineEdit"));
    auto *button = window.findChild<QPushButton *>(QStringLiteral("searchPushButton"));
    QVERIFY(edit && button);
    edit->setText(keyword);
    QTest::mouseClick(button, Qt::LeftButton);
    waitForWindow(window);
}

void waitForWindow(MainWindow &window)
{
    // The bound only ends a hung test; a search or copy ends when its answer comes.
    QTRY_VERIFY_WITH_TIMEOUT(!window.isBusy(), 300000);
}

QTableView *resultTable(MainWindow &window)
{
    return window.findChild<QTableView *>(QStringLiteral("tableView"));
}

QStringList tableColumn(QTableView *table, int column)
{
    QStringList texts;
    const QAbstractItemModel *model = table->model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts;
}

void clickRadio(QAbstractButton *button)
{
    QVERIFY(button);
    // A radio button answers clicks on its indicator and text, not on the empty rest of its row.
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

QString shownText(const QString &text, Qt::TextFormat format)
{
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text))) {
        return text;
    }
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}
