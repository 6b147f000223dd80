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

namespace {
QStringList recorded;
QtMessageHandler previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // The offscreen platform's own complaint is no line of the finder's.
    const bool platformNoise = message.contains(QLatin1String("propagateSizeHints"));
    if ((type == QtDebugMsg || type == QtWarningMsg) && !platformNoise)
        recorded << message;
    if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

CatalogueFolder::CatalogueFolder()
    : previous(QDir::currentPath())
{
    if (!dir.isValid())
        return;
    QDir::setCurrent(dir.path());
    CatalogueLocator::overrideStandardPlaces(
        {CatalogueLocator::catalogueFileName(), userCatalogue(), systemCatalogue()});
}

CatalogueFolder::~CatalogueFolder()
{
    CatalogueLocator::overrideStandardPlaces({});
    QDir::setCurrent(previous);
}

MessageLog::MessageLog()
{
    recorded.clear();
    previousHandler = qInstallMessageHandler(recordMessage);
}

MessageLog::~MessageLog()
{
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
}

QStringList MessageLog::lines() const
{
    return recorded;
}

QStringList MessageLog::linesStartingWith(const QString &prefix) const
{
    QStringList found;
    for (const QString &line : recorded) {
        if (line.startsWith(prefix))
            found << line;
    }
    return found;
}

void MessageLog::clear()
{
    recorded.clear();
}

BoxCloser::BoxCloser()
{
    connect(&timer, &QTimer::timeout, this, &BoxCloser::closeActiveBox);
    timer.start(10);
}

void BoxCloser::closeActiveBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return;
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
        if (qobject_cast<MainWindow *>(widget) && widget->isVisible())
            shown.finderVisible = true;
    }
    boxes << shown;
    const QList<QAbstractButton *> buttons = box->buttons();
    if (buttons.isEmpty())
        box->reject();
    else
        buttons.first()->click();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void searchFor(MainWindow &window, const QString &keyword)
{
    auto *edit = window.findChild<QLineEdit *>(QStringLiteral("keyworkLineEdit"));
    auto *button = window.findChild<QPushButton *>(QStringLiteral("searchPushButton"));
    QVERIFY(edit && button);
    edit->setText(keyword);
    QTest::mouseClick(button, Qt::LeftButton);
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
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text)))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}
