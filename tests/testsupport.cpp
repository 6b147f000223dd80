#include "testsupport.h"
#include "cataloguelocator.h"
#include "mainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QUuid>

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
QString sqlText(QString text)
{
    return "'" + text.replace("'", "''") + "'";
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

void execOnCatalogue(const QString &path, const QStringList &statements)
{
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QSqlQuery query(db);
        db.transaction();
        for (const QString &statement : statements)
            QVERIFY2(query.exec(statement), qPrintable(statement + ": " + query.lastError().text()));
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void writeCatalogue(const QString &path, const QList<CataloguePackage> &packages)
{
    QStringList statements{QStringLiteral(
        "CREATE TABLE qv_pkg_list_t (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
        "ver TEXT NOT NULL, rel TEXT NOT NULL, arch TEXT NOT NULL)")};
    for (const CataloguePackage &p : packages) {
        statements << QStringLiteral("INSERT INTO qv_pkg_list_t (name, ver, rel, arch) VALUES (%1, %2, %3, %4)")
                          .arg(sqlText(p.name), sqlText(p.ver), sqlText(p.rel), sqlText(p.arch));
    }
    execOnCatalogue(path, statements);
}

void writeFileLists(const QString &path, const QList<CatalogueFile> &files, bool trigrams)
{
    QStringList statements{
        "CREATE TABLE qv_file_name_t (id INTEGER PRIMARY KEY, name TEXT NOT NULL)",
        "CREATE TABLE qv_file_dir_t (id INTEGER PRIMARY KEY, path TEXT NOT NULL)",
        "CREATE TABLE qv_pkg_file_t (pkg_id INTEGER NOT NULL, dir_id INTEGER NOT NULL, name_id INTEGER NOT NULL)",
        "CREATE INDEX qv_pkg_file_name_idx ON qv_pkg_file_t(name_id)",
        "CREATE INDEX qv_file_name_nocase_idx ON qv_file_name_t(name COLLATE NOCASE)",
    };
    QHash<QString, int> names, dirs;
    auto intern = [&statements](QHash<QString, int> &ids, const char *table, const QString &text) {
        const auto found = ids.constFind(text);
        if (found != ids.constEnd())
            return *found;
        const int id = ids.size() + 1;
        ids.insert(text, id);
        statements << QStringLiteral("INSERT INTO %1 VALUES (%2, %3)").arg(table).arg(id).arg(sqlText(text));
        return id;
    };
    for (const CatalogueFile &file : files) {
        const int slash = file.path.lastIndexOf('/');
        const int dirId = intern(dirs, "qv_file_dir_t", file.path.left(slash));
        const int nameId = intern(names, "qv_file_name_t", file.path.mid(slash + 1));
        statements << QStringLiteral("INSERT INTO qv_pkg_file_t VALUES (%1, %2, %3)")
                          .arg(file.packageId).arg(dirId).arg(nameId);
    }
    if (trigrams) {
        statements << "CREATE VIRTUAL TABLE qv_file_name_fts USING fts5(name, content='qv_file_name_t', "
                      "content_rowid='id', tokenize='trigram', detail='none', columnsize=0)"
                   << "CREATE VIRTUAL TABLE qv_file_dir_fts USING fts5(path, content='qv_file_dir_t', "
                      "content_rowid='id', tokenize='trigram', detail='none', columnsize=0)"
                   << "INSERT INTO qv_file_name_fts(qv_file_name_fts) VALUES('rebuild')"
                   << "INSERT INTO qv_file_dir_fts(qv_file_dir_fts) VALUES('rebuild')";
    }
    execOnCatalogue(path, statements);
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
