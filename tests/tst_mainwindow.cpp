#include "mainwindow.h"
#include "testsupport.h"

#include <QtTest>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QScrollBar>
#include <QTableView>

#include "packagedetailswindow.h"

// The window as it starts: its form, title, empty table, catalogue probe and
// search-mode buttons.
class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formWidgets_data();
    void formWidgets();
    void formInitialState();
    void titleCarriesBuildStamp();
    void startupDebugLines();
    void emptyTable();
    void tableKeepsColumnLayoutOnResize();
    void probeOfReadableCatalogue();
    void probeOfMissingCatalogue();
    void probeOfUnreadableCatalogue_data();
    void probeOfUnreadableCatalogue();
    void returnSearchesOnce();
    void packageNameButtonResetsTable();
    void packageNameSlotIgnoresUncheckedButton();
    void fileNameButtonChangesNothing();
    void keyboardReachesEverything();

private:
    std::unique_ptr<CatalogueFolder> dir;
};

void tst_MainWindow::init()
{
    dir = std::make_unique<CatalogueFolder>();
    QVERIFY(dir->isValid());
    writeCatalogue(dir->filePath("os_pkg_list.db"),
                   {{"gcc", "12.2.0", "14", "amd64"}, {"vim", "9.0.1378", "2", "amd64"}});
}

void tst_MainWindow::cleanup()
{
    dir.reset();
}

void tst_MainWindow::formWidgets_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("text");

    QTest::newRow("label") << "label" << "QLabel" << QString::fromUtf8("操作系统：");
    QTest::newRow("label_2") << "label_2" << "QLabel" << QString::fromUtf8("关 键 字：");
    QTest::newRow("keyword") << "keyworkLineEdit" << "QLineEdit" << "gcc";
    QTest::newRow("search") << "searchPushButton" << "QPushButton" << QString::fromUtf8("搜索");
    QTest::newRow("package name") << "packageNameRadioButton" << "QRadioButton"
                                  << QString::fromUtf8("软件包名");
    QTest::newRow("file name") << "fileNameRadioButton" << "QRadioButton" << QString::fromUtf8("文件名");
    QTest::newRow("os list") << "osTypeComboBox" << "QComboBox" << "Calvora1.0";
    QTest::newRow("table") << "tableView" << "QTableView" << QString();
    QTest::newRow("central") << "centralwidget" << "QWidget" << QString();
    QTest::newRow("menu bar") << "menubar" << "QMenuBar" << QString();
    QTest::newRow("status bar") << "statusbar" << "QStatusBar" << QString();
}

void tst_MainWindow::formWidgets()
{
    QFETCH(QString, objectName);
    QFETCH(QString, className);
    QFETCH(QString, text);

    MainWindow window;
    QWidget *widget = window.findChild<QWidget *>(objectName);
    QVERIFY(widget);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(int(label->alignment()), int(Qt::AlignRight | Qt::AlignVCenter));
    } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        QCOMPARE(edit->text(), text);
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        QCOMPARE(button->text(), text);
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        QCOMPARE(combo->currentText(), text);
    }
}

void tst_MainWindow::formInitialState()
{
    MainWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.size(), QSize(746, 504));

    auto *combo = window.findChild<QComboBox *>("osTypeComboBox");
    const QStringList editions{QString::fromUtf8("Calvora1.0"), QString::fromUtf8("Teskar7.0 桌面"),
                               QString::fromUtf8("Teskar7.0 服务器"), QString::fromUtf8("Mirelo20 桌面"),
                               QString::fromUtf8("Mirelo20 服务器")};
    QCOMPARE(combo->count(), editions.size());
    for (int i = 0; i < editions.size(); ++i)
        QCOMPARE(combo->itemText(i), editions.at(i));
    QCOMPARE(combo->currentIndex(), 0);

    QVERIFY(window.findChild<QRadioButton *>("packageNameRadioButton")->isChecked());
    QVERIFY(!window.findChild<QRadioButton *>("fileNameRadioButton")->isChecked());
    QVERIFY(window.findChild<QMenuBar *>("menubar")->actions().isEmpty());
    QVERIFY(window.findChild<QStatusBar *>("statusbar")->currentMessage().startsWith(QString::fromUtf8("软件包目录：")));
    QCOMPARE(window.findChild<QMenuBar *>("menubar")->parentWidget(), &window);
}

void tst_MainWindow::titleCarriesBuildStamp()
{
    MainWindow window;
    const QRegularExpression shape(QString::fromUtf8(
        "^Quorvi软件查找器 Build:(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123]\\d \\d{4} "
        "[0-2]\\d:[0-5]\\d:[0-5]\\d$"));
    QVERIFY2(shape.match(window.windowTitle()).hasMatch(), qPrintable(window.windowTitle()));
}

void tst_MainWindow::startupDebugLines()
{
    MessageLog log;
    MainWindow window;
    const QStringList lines = log.lines();
    const QString appDir = "app dir  \"" + QCoreApplication::applicationDirPath() + "\"";
    const QString current = "currentPath:  \"" + QDir::currentPath() + "\"";
    QVERIFY2(lines.contains(appDir), qPrintable(lines.join('\n')));
    QVERIFY(lines.contains(current));
    QVERIFY(lines.indexOf(appDir) < lines.indexOf(current));
    QVERIFY(appDir != "app dir  \"" + QDir::currentPath() + "\"");
}

void tst_MainWindow::emptyTable()
{
    MainWindow window;
    QTableView *table = resultTable(window);
    auto *model = qobject_cast<QStandardItemModel *>(table->model());
    QVERIFY(model);
    QCOMPARE(model->columnCount(), 2);
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("序号"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("软件包名称"));

    QHeaderView *header = table->horizontalHeader();
    QCOMPARE(int(header->defaultAlignment()), int(Qt::AlignCenter));
    QCOMPARE(header->sectionResizeMode(0), QHeaderView::Fixed);
    QCOMPARE(header->sectionResizeMode(1), QHeaderView::Stretch);
    QCOMPARE(table->columnWidth(0), 100);
    QVERIFY(table->verticalHeader()->isHidden());
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void tst_MainWindow::tableKeepsColumnLayoutOnResize()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView *table = resultTable(window);
    const int before = table->columnWidth(1);
    window.resize(1000, 600);
    QTRY_VERIFY(table->columnWidth(1) > before);
    QCOMPARE(table->columnWidth(0), 100);
    QCOMPARE(table->columnWidth(0) + table->columnWidth(1), table->viewport()->width());
}

void tst_MainWindow::probeOfReadableCatalogue()
{
    BoxCloser closer;
    MainWindow window;
    QVERIFY(closer.boxes.isEmpty());
    QVERIFY(!QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen());
}

void tst_MainWindow::probeOfMissingCatalogue()
{
    QVERIFY(QFile::remove(dir->filePath("os_pkg_list.db")));
    BoxCloser closer;
    MessageLog log;
    MainWindow window;
    window.show();
    QCOMPARE(closer.boxes.size(), 1);
    const ShownBox box = closer.boxes.first();
    QCOMPARE(box.title, QString::fromUtf8("无法打开数据库"));
    QCOMPARE(box.text, QString::fromUtf8("无法创建数据库连接！ "));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY(!box.hasParent);
    QVERIFY(!box.finderVisible);
    QCOMPARE(log.linesStartingWith("app dir ").size(), 1);
    QCOMPARE(log.linesStartingWith("currentPath: ").size(), 1);
    QVERIFY(window.isVisible());
    QVERIFY2(!QFile::exists(dir->filePath("os_pkg_list.db")), "the finder created a catalogue");
}

void tst_MainWindow::probeOfUnreadableCatalogue_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("random bytes") << QByteArray(4096, '\x5a');
    QTest::newRow("text file") << QByteArray("Package: gcc\nVersion: 12\n");
}

void tst_MainWindow::probeOfUnreadableCatalogue()
{
    QFETCH(QByteArray, content);
    QFile file(dir->filePath("os_pkg_list.db"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();

    BoxCloser closer;
    MainWindow window;
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QString::fromUtf8("无法打开数据库"));
    QCOMPARE(fileBytes(file.fileName()), content);
}

void tst_MainWindow::returnSearchesOnce()
{
    MainWindow window;
    window.show();
    MessageLog log;
    auto *edit = window.findChild<QLineEdit *>("keyworkLineEdit");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    waitForWindow(window);
    QCOMPARE(log.linesStartingWith("pkg .............").size(), 1);
    QCOMPARE(tableColumn(resultTable(window), 1), QStringList{"gcc-12.2.0-14.amd64"});
}

void tst_MainWindow::packageNameButtonResetsTable()
{
    MainWindow window;
    window.show();
    auto *packageButton = window.findChild<QRadioButton *>("packageNameRadioButton");
    QStandardItemModel *headerModel = qobject_cast<QStandardItemModel *>(resultTable(window)->model());

    MessageLog log;
    clickRadio(packageButton);
    QCOMPARE(log.linesStartingWith("packageName").size(), 1);
    QCOMPARE(resultTable(window)->model(), headerModel);

    searchFor(window, "*");
    QCOMPARE(resultTable(window)->model()->rowCount(), 2);
    QPointer<QAbstractItemModel> searchModel = resultTable(window)->model();

    for (int click = 1; click <= 2; ++click) {
        log.clear();
        clickRadio(packageButton);
        QCOMPARE(log.lines(), QStringList{"packageName ..."});
    }
    QCOMPARE(resultTable(window)->model(), headerModel);
    QVERIFY2(searchModel.isNull(), "the replaced search model was not released");
    QCOMPARE(headerModel->rowCount(), 0);
    QCOMPARE(headerModel->columnCount(), 2);
    QCOMPARE(resultTable(window)->horizontalHeader()->sectionResizeMode(1), QHeaderView::Stretch);
    QVERIFY(packageButton->isChecked());
}

void tst_MainWindow::packageNameSlotIgnoresUncheckedButton()
{
    MainWindow window;
    window.show();
    searchFor(window, "gcc");
    QAbstractItemModel *searchModel = resultTable(window)->model();
    auto *fileButton = window.findChild<QRadioButton *>("fileNameRadioButton");
    clickRadio(fileButton);

    MessageLog log;
    QVERIFY(QMetaObject::invokeMethod(&window, "on_packageNameRadioButton_clicked"));
    QVERIFY(log.lines().isEmpty());
    QCOMPARE(resultTable(window)->model(), searchModel);
}

void tst_MainWindow::fileNameButtonChangesNothing()
{
    MainWindow window;
    window.show();
    searchFor(window, "*");
    QAbstractItemModel *searchModel = resultTable(window)->model();
    auto *packageButton = window.findChild<QRadioButton *>("packageNameRadioButton");
    auto *fileButton = window.findChild<QRadioButton *>("fileNameRadioButton");

    MessageLog log;
    clickRadio(fileButton);
    QVERIFY(fileButton->isChecked());
    QVERIFY(!packageButton->isChecked());
    QVERIFY(log.lines().isEmpty());
    QCOMPARE(resultTable(window)->model(), searchModel);
    QCOMPARE(searchModel->rowCount(), 2);
}

namespace {
QString focusAfter(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    return QApplication::focusWidget()->objectName();
}
} // namespace

// Tab goes round every input and out of the table, Shift+Tab back, Ctrl+Tab out of it; a new search starts at
// its first row, the current one; Ctrl+L and F6 bring the keyword field back with its text
// selected, also from the details window, which Esc closes; Up and Down in the keyword
// field walk the keywords searched.
void tst_MainWindow::keyboardReachesEverything()
{
    QList<CataloguePackage> packages;
    for (int i = 0; i < 300; ++i)
        packages << CataloguePackage{QString("pkg%1").arg(i, 3, 10, QChar('0')), "1", "1", "all"};
    writeCatalogue(dir->filePath("os_pkg_list.db"), packages);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *edit = window.findChild<QLineEdit *>("keyworkLineEdit");
    QStringList round{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 5; ++i)
        round << focusAfter(Qt::Key_Tab);
    QCOMPARE(round, QStringList({"keyworkLineEdit", "searchPushButton", "packageNameRadioButton", "tableView",
                                 "osTypeComboBox", "keyworkLineEdit"}));
    QTableView *table = resultTable(window);
    table->setFocus();
    QCOMPARE(focusAfter(Qt::Key_Tab, Qt::ShiftModifier), QString("packageNameRadioButton"));
    table->setFocus();
    QCOMPARE(focusAfter(Qt::Key_Tab, Qt::ControlModifier), QString("osTypeComboBox"));

    searchFor(window, "*");
    QTRY_COMPARE(table->model()->rowCount(), 300);
    table->scrollToBottom();
    searchFor(window, "pkg1*");
    QTRY_COMPARE(table->model()->rowCount(), 100);
    QCOMPARE(table->verticalScrollBar()->value(), 0);
    QCOMPARE(table->currentIndex().row(), 0);
    QCOMPARE(focusAfter(Qt::Key_L, Qt::ControlModifier), QString("keyworkLineEdit"));
    QCOMPARE(edit->selectedText(), QString("pkg1*"));
    edit->setText("x");
    QStringList walked;
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down})
        walked << (QTest::keyClick(edit, key), edit->text());
    QCOMPARE(walked, QStringList({"pkg1*", "*", "*", "pkg1*", "x", "x"}));

    table->setFocus();
    QTest::keyClick(table, Qt::Key_Return);
    auto *details = window.findChild<PackageDetailsWindow *>();
    QApplication::setActiveWindow(details);
    QTRY_COMPARE(QApplication::activeWindow(), details);
    QTest::keyClick(details, Qt::Key_F6);
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    QApplication::setActiveWindow(details);
    QTRY_COMPARE(QApplication::activeWindow(), details);
    QTest::keyClick(details, Qt::Key_Escape);
    QVERIFY(!details->isVisible());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
