#include "mainwindow.h"
#include "cataloguefeatures.h"
#include "catalogueopening.h"
#include "elidedtextdelegate.h"
#include "searchjob.h"
#include "searchresultmodel.h"
#include "searchstatement.h"
#include "tablecopy.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLocale>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPointer>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QStatusBar>

namespace {
// Read-only: the finder never creates or changes a catalogue file. A catalogue that a
// writer holds locked is waited for briefly before the search reports it busy.
const char catalogueOptions[] = "QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000";
const char sqliteBusy[] = "5";
const char sqliteLocked[] = "6";
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new MainWindowUi)
    , headerModel(nullptr)
    , catalogueLocator(CatalogueLocator::standard())
{
    ui->setupUi(this);
    setWindowTitle(tr("Quorvi软件查找器 Build:") + QLatin1String(__DATE__ " " __TIME__));
    init();
}

MainWindow::~MainWindow()
{
    // Searches still running, or stopped and not yet ended, end before the window goes.
    for (SearchJob *job : findChildren<SearchJob *>(QString(), Qt::FindDirectChildrenOnly))
        delete job;
    delete ui;
    delete headerModel;
}

void MainWindow::init()
{
    connect(ui->keyworkLineEdit, SIGNAL(returnPressed()),
            ui->searchPushButton, SIGNAL(clicked()), Qt::UniqueConnection);
    initTableView();
    initDatabase();
    qDebug() << "app dir " << QCoreApplication::applicationDirPath();
    qDebug() << "currentPath: " << QDir::currentPath();
}

void MainWindow::initTableView()
{
    headerModel = new QStandardItemModel;
    headerModel->setColumnCount(2);
    setHeaderTitles();
    ui->tableView->setModel(headerModel);
    applyColumnLayout();
    ui->tableView->verticalHeader()->hide();
    ui->tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->tableView->setItemDelegate(new ElidedTextDelegate(ui->tableView));
    initCopyAction();
}

// Ctrl+C and the table's context menu copy the selected rows as tab-separated lines.
void MainWindow::initCopyAction()
{
    auto *copyAction = new QAction(tr("复制"), ui->tableView);
    copyAction->setObjectName(QStringLiteral("copyAction"));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copyAction, &QAction::triggered, this, [this] {
        const QString text = selectedRowsAsText(ui->tableView);
        if (!text.isEmpty())
            QGuiApplication::clipboard()->setText(text);
    });
    ui->tableView->addAction(copyAction);
    ui->tableView->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainWindow::setHeaderTitles()
{
    headerModel->setHeaderData(0, Qt::Horizontal, tr("序号"), Qt::EditRole);
    headerModel->setHeaderData(1, Qt::Horizontal, tr("软件包名称"), Qt::EditRole);
}

// Installing a model resets the header's sections, so the column layout is made again
// for every model the table shows: a fixed serial-number column, the name filling the rest.
// File-name results add a path column, which then takes the spare width instead.
void MainWindow::applyColumnLayout()
{
    QHeaderView *header = ui->tableView->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    ui->tableView->setColumnWidth(0, 100);
    const int lastColumn = ui->tableView->model()->columnCount() - 1;
    if (lastColumn > 1) {
        header->setSectionResizeMode(1, QHeaderView::Interactive);
        ui->tableView->setColumnWidth(1, nameColumnWidth());
    }
    header->setSectionResizeMode(lastColumn, QHeaderView::Stretch);
}

// The package column of file-name results: as wide as the names it shows, but no wider
// than half of what the serial-number column leaves, so that the paths keep room; an
// elided name shows in full as its tooltip. (Qt sizes to at most 1,000 rows around those
// in view, so a long result costs no more than a short one.)
int MainWindow::nameColumnWidth() const
{
    const int available = ui->tableView->viewport()->width() - ui->tableView->columnWidth(0);
    const int wanted = static_cast<const QAbstractItemView *>(ui->tableView)->sizeHintForColumn(1);
    return qMax(qMin(wanted, available / 2), ui->tableView->horizontalHeader()->sectionSizeHint(1));
}

// Puts a model into the table and releases what it replaces: the previous search's
// query model and the view's previous selection model. The header model stays alive.
void MainWindow::showModel(QAbstractItemModel *model)
{
    QAbstractItemModel *previous = ui->tableView->model();
    if (previous == model)
        return;
    QItemSelectionModel *previousSelection = ui->tableView->selectionModel();
    ui->tableView->setModel(model);
    applyColumnLayout();
    delete previousSelection;
    if (previous != headerModel)
        delete previous;
}

// Opens the first catalogue the locator finds, read-only, to see that it is one; the
// connection stays registered and closed. Where no place holds a catalogue, the working
// folder's name stays set, so the box names what to do and searches report the missing file.
void MainWindow::initDatabase()
{
    const QString name = QLatin1String(QSqlDatabase::defaultConnection);
    db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                      : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    const QString catalogue = catalogueLocator.find();
    db.setDatabaseName(catalogue.isEmpty() ? CatalogueLocator::catalogueFileName() : catalogue);
    db.setConnectOptions(QLatin1String(catalogueOptions));
    if (catalogue.isEmpty()) {
        reportUnopenedCatalogue(catalogue, QString());
        return;
    }
    const QString problem = probeCatalogue();
    if (!problem.isEmpty())
        reportUnopenedCatalogue(catalogue, problem);
}

// Until the first search the status bar names the catalogue in use and its package count.
void MainWindow::showCatalogueInStatusBar(const QString &catalogue)
{
    const QString path = QDir::toNativeSeparators(QFileInfo(catalogue).absoluteFilePath());
    QSqlQuery count(db);
    if (count.exec(QLatin1String(SearchStatement::packageCount)) && count.next())
        ui->statusbar->showMessage(tr("软件包目录：%1（%2 个软件包）").arg(path).arg(count.value(0).toLongLong()));
    else
        ui->statusbar->showMessage(tr("软件包目录：%1（没有软件包表）").arg(path));
}

// The box keeps its title, text and single button; its details say which file failed,
// or where the finder looked and the command that makes a catalogue there.
void MainWindow::reportUnopenedCatalogue(const QString &catalogue, const QString &error)
{
    QString details;
    if (!catalogue.isEmpty()) {
        details = tr("无法读取软件包目录 %1：%2")
                      .arg(QDir::toNativeSeparators(QFileInfo(catalogue).absoluteFilePath()), error);
    } else {
        QStringList places;
        for (const QString &place : catalogueLocator.places())
            places << QDir::toNativeSeparators(QFileInfo(place).absoluteFilePath());
        details = tr("在这些位置没有找到软件包目录：\n%1\n\n用这条命令生成一个：quorvi-catalog --user")
                      .arg(places.join(QLatin1Char('\n')));
    }
    QMessageBox box(QMessageBox::Critical, QObject::tr("无法打开数据库"),
                    QString::fromUtf8("无法创建数据库连接！ "), QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::NoButton);
    box.setInformativeText(details);
    box.exec();
}

// Opens the catalogue the way a search does and reads its schema (opening is lazy in
// SQLite: reading is what finds a file that is no catalogue); returns what is wrong, or
// nothing. A file that is no regular file, would need writing beside it or has tables
// that are no real tables is not searched; only a sound one gets its count shown.
QString MainWindow::probeCatalogue()
{
    const QString path = db.databaseName();
    const QString options = db.connectOptions();
    const CatalogueOpening opening = CatalogueOpening::inspect(path);
    if (!opening.problem.isEmpty())
        return opening.problem;
    db.setDatabaseName(opening.databaseName);
    db.setConnectOptions(opening.connectOptions(options));
    QString problem;
    if (!db.open()) {
        problem = db.lastError().text();
    } else {
        const CatalogueFeatures features = CatalogueFeatures::read(db);
        problem = features.error.isValid() ? features.error.text() : features.refusal;
        if (problem.isEmpty())
            showCatalogueInStatusBar(path);
    }
    db.close();
    db.setDatabaseName(path);
    db.setConnectOptions(options);
    return problem;
}

void MainWindow::on_searchPushButton_clicked()
{
    const QString keyword = ui->keyworkLineEdit->text().trimmed();
    if (keyword.isEmpty()) {
        QMessageBox::critical(nullptr, QObject::tr("关键字"), tr("关键字不能为空 "),
                              QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    // A new search replaces one that still runs.
    stopSearch();
    headerModel->removeRows(0, headerModel->rowCount(QModelIndex()), QModelIndex());
    const int osIndex = ui->osTypeComboBox->currentIndex();
    SearchRequest request;
    request.mode = ui->packageNameRadioButton->isChecked() ? SearchMode::PackageName : SearchMode::FileName;
    request.keyword = keyword;
    // The search opens the very file, with the very options, of the window's own
    // connection; how it may be opened without writing is decided anew for each search.
    const CatalogueOpening opening = CatalogueOpening::inspect(db.databaseName());
    if (!opening.problem.isEmpty()) {
        reportSearchFailure(tr("无法读取软件包目录：") + opening.problem);
        return;
    }
    request.databaseName = opening.databaseName;
    request.connectOptions = opening.connectOptions(db.connectOptions());
    qDebug() << "pkg ............." << keyword << "," << osIndex;
    runSearch(request);
}

// Runs the search on its own thread and waits for it in a local event loop, so that the
// window repaints and answers input meanwhile; returns once the search has ended: its rows
// are shown, its failure reported, or it was stopped (by Esc or by a newer search).
void MainWindow::runSearch(const SearchRequest &request)
{
    QElapsedTimer clock;
    clock.start();
    auto *job = new SearchJob(request, this);
    QEventLoop loop;
    connect(job, &SearchJob::statementReady, this, [this, job](const QString &statement) {
        if (runningSearch == job)
            qDebug() << statement;
    });
    connect(job, &SearchJob::searchEnded, &loop, &QEventLoop::quit);
    runningSearch = job;
    runningSearchLoop = &loop;
    ui->statusbar->showMessage(tr("正在搜索……"));
    job->start();
    loop.exec();
    if (runningSearch != job)
        return; // stopped; the stop has emptied the table
    if (!job->hasEnded()) {
        stopSearch(); // the application is quitting
        return;
    }
    runningSearch = nullptr;
    runningSearchLoop = nullptr;
    SearchOutcome outcome = job->takeOutcome();
    if (outcome.pathsLater) {
        // The job stays to work out the paths of the rows shown later, until its model goes.
        connect(job, &QThread::finished, job, &QObject::deleteLater);
        if (job->isFinished())
            job->deleteLater();
    } else {
        job->wait();
        delete job;
        job = nullptr;
    }
    showOutcome(outcome, clock.elapsed(), job);
}

// Stops the running search, if any: its statement is interrupted, the table goes back to
// the empty header model at once, and its thread is released whenever it ends.
void MainWindow::stopSearch()
{
    SearchJob *job = runningSearch;
    if (!job)
        return;
    runningSearch = nullptr;
    job->stop();
    connect(job, &QThread::finished, job, &QObject::deleteLater);
    if (job->isFinished())
        job->deleteLater();
    runningSearchLoop->quit();
    runningSearchLoop = nullptr;
    showModel(headerModel);
    ui->statusbar->showMessage(tr("搜索已停止"));
}

void MainWindow::showOutcome(SearchOutcome &outcome, qint64 elapsedMs, SearchJob *pathJob)
{
    switch (outcome.end) {
    case SearchOutcome::End::Rows: {
        auto *model = new SearchResultModel(outcome.titles, std::move(outcome.cells), this);
        if (pathJob) {
            QPointer<SearchJob> job(pathJob);
            model->setLaterCells([job](const QVector<qint64> &ids) { return job ? job->firstPaths(ids) : QStringList(); },
                                 [job] {
                                     if (job)
                                         job->release();
                                 });
        }
        showModel(model);
        const QLocale numbers(QLocale::Chinese, QLocale::China);
        ui->statusbar->showMessage(tr("找到 %1 个软件包，用时 %2 毫秒")
                                       .arg(numbers.toString(model->rowCount()), numbers.toString(elapsedMs)));
        return;
    }
    case SearchOutcome::End::SqlError:
        reportSearchFailure(failureText(outcome.error));
        return;
    case SearchOutcome::End::NoFileLists:
        reportSearchFailure(tr("这个软件包目录不含文件列表，无法按文件名查找。"));
        return;
    case SearchOutcome::End::TooLarge:
        reportSearchFailure(tr("查询结果过大（超过 1 GiB，或有单个字段超过 1 MiB），已停止读取。"
                               "软件包目录可能已损坏。"));
        return;
    case SearchOutcome::End::Stopped:
        showModel(headerModel);
        ui->statusbar->showMessage(tr("搜索已停止"));
        return;
    }
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && runningSearch) {
        stopSearch();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    stopSearch();
    QMainWindow::closeEvent(event);
}

QString MainWindow::failureText(const QSqlError &error) const
{
    const QString code = error.nativeErrorCode();
    if (code == QLatin1String(sqliteBusy) || code == QLatin1String(sqliteLocked))
        return tr("软件包目录正被其他程序占用，请稍后再试：") + error.text();
    return tr("无法在软件包目录中完成查询：") + error.text();
}

// The table goes back to the empty header model; the box names what went wrong.
void MainWindow::reportSearchFailure(const QString &text)
{
    showModel(headerModel);
    ui->statusbar->showMessage(tr("搜索失败"));
    qWarning().noquote() << "search failed:" << text;
    QMessageBox::critical(nullptr, tr("查询失败"), text, QMessageBox::Ok, QMessageBox::NoButton);
}

void MainWindow::on_fileNameRadioButton_clicked()
{
}

void MainWindow::on_packageNameRadioButton_clicked()
{
    if (!ui->packageNameRadioButton->isChecked())
        return;
    stopSearch();
    qDebug() << "packageName ...";
    headerModel->setColumnCount(2);
    setHeaderTitles();
    showModel(headerModel);
}
