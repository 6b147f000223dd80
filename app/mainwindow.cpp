#include "mainwindow.h"
#include "threadhandoff.h"
#include "cataloguebuildoffer.h"
#include "cataloguefeatures.h"
#include "catalogueopening.h"
#include "elidedtextdelegate.h"
#include "hintlabel.h"
#include "installcommandaction.h"
#include "keywordhistory.h"
#include "packagedetailswindow.h"
#include "searchworker.h"
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
#include <QKeyEvent>
#include <QLocale>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMessageBox>
#include "plainmessagebox.h"
#include <QPointer>
#include <QProgressDialog>
#include <QShortcut>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QThread>

struct sqlite3;

namespace {
// Read-only: the finder never creates or changes a catalogue file. A catalogue that a
// writer holds locked is waited for briefly before the search reports it busy.
const char catalogueOptions[] = "QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000";
const char sqliteBusy[] = "5";
const char sqliteLocked[] = "6";

// The SQLite handle of the window's own connection: Qt's driver hands it out as a QVariant
// holding "sqlite3*".
sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    if (!db.isOpen()) {
        return nullptr;
    }
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        return nullptr;
    }
    return *static_cast<sqlite3 *const *>(handle.constData());
}
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
    endCopy();
    // Work still running, or stopped and not yet ended, ends before the window goes; the
    // worker closes its connection on its own thread.
    worker->stopUpTo(lastWork);
    SearchWorker *ending = worker;
    ThreadHandoff::post();
    ending->deleteLater();
    searchThread->quit();
    searchThread->wait();
    ThreadHandoff::joined();
    delete ui;
    delete headerModel;
}

void MainWindow::init()
{
    connect(ui->keyworkLineEdit, SIGNAL(returnPressed()),
            ui->searchPushButton, SIGNAL(clicked()), Qt::UniqueConnection);
    initSearchThread();
    initTableView();
    initStatusBarOffers();
    initKeyboard();
    initDatabase();
    qDebug() << "app dir " << QCoreApplication::applicationDirPath();
    qDebug() << "currentPath: " << QDir::currentPath();
}

void MainWindow::initSearchThread()
{
    ThreadHandoff::install();
    searchThread = new QThread(this);
    searchThread->setObjectName(QStringLiteral("quorvi-search"));
    worker = new SearchWorker;
    worker->moveToThread(searchThread);
    connect(worker, &SearchWorker::statementReady, this, [this](quint64 work, const QString &statement) {
        if (work == runningSearch) {
            qDebug() << statement;
        }
    });
    connect(worker, &SearchWorker::searchEnded, this, &MainWindow::searchEnded);
    connect(worker, &SearchWorker::hintReady, this, [this](quint64 work, const SearchHint &hint) {
        // It may come before the window has shown the empty result it belongs to.
        if (work == hintedSearch) {
            hintLabel->showHint(hint);
        }
    });
    connect(searchThread, &QThread::finished, searchThread, [] { ThreadHandoff::post(); }, Qt::DirectConnection);
    searchThread->start();
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
    auto *installAction = new InstallCommandAction(ui->tableView, [this] { return shownSource; });
    connect(installAction, &InstallCommandAction::reported, ui->statusbar, [this](const QString &message) {
        ui->statusbar->showMessage(message);
    });
    ui->tableView->addAction(installAction);
    initDetailsAction();
}

// Tab and Shift+Tab go through every input from top to bottom and leave the table (whose
// cells Tab would otherwise walk); Ctrl+L and F6, from any of the finder's windows, bring
// the keyword field back with its text selected, ready for the next keyword.
void MainWindow::initKeyboard()
{
    ui->tableView->setTabKeyNavigation(false);
    QWidget::setTabOrder(ui->osTypeComboBox, ui->keyworkLineEdit);
    QWidget::setTabOrder(ui->keyworkLineEdit, ui->searchPushButton);
    QWidget::setTabOrder(ui->searchPushButton, ui->packageNameRadioButton);
    QWidget::setTabOrder(ui->packageNameRadioButton, ui->fileNameRadioButton);
    QWidget::setTabOrder(ui->fileNameRadioButton, ui->tableView);
    // Ctrl+Tab moves on from the table too, as from any widget that takes Tab itself.
    auto *leaveTable = new QShortcut(QKeySequence(Qt::CTRL + Qt::Key_Tab), ui->tableView, nullptr, nullptr,
                                     Qt::WidgetShortcut);
    connect(leaveTable, &QShortcut::activated, this, [this] { focusNextPrevChild(true); });
    auto *keywordAction = new QAction(tr("输入关键字"), this);
    keywordAction->setObjectName(QStringLiteral("focusKeywordAction"));
    keywordAction->setShortcuts({QKeySequence(Qt::CTRL + Qt::Key_L), QKeySequence(Qt::Key_F6)});
    keywordAction->setShortcutContext(Qt::ApplicationShortcut);
    connect(keywordAction, &QAction::triggered, this, &MainWindow::focusKeyword);
    addAction(keywordAction);
    keywordHistory = new KeywordHistory(ui->keyworkLineEdit);
    connect(ui->searchPushButton, &QPushButton::clicked, keywordHistory,
            [this] { keywordHistory->add(ui->keyworkLineEdit->text().trimmed()); });
    ui->keyworkLineEdit->setFocus();
}

void MainWindow::focusKeyword()
{
    activateWindow();
    raise();
    ui->keyworkLineEdit->setFocus(Qt::ShortcutFocusReason);
    ui->keyworkLineEdit->selectAll();
}

// Ctrl+C and the table's context menu copy the selected rows as tab-separated lines.
void MainWindow::initCopyAction()
{
    auto *copyAction = new QAction(tr("复制"), ui->tableView);
    copyAction->setObjectName(QStringLiteral("copyAction"));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copyAction, &QAction::triggered, this, &MainWindow::copySelectedRows);
    ui->tableView->addAction(copyAction);
    ui->tableView->setContextMenuPolicy(Qt::ActionsContextMenu);
}

// Rows whose paths are not known yet have them worked out first, on the search thread,
// while a progress box (shown when it takes a moment) offers to cancel; a cancelled copy
// copies nothing, and a newer copy replaces one that still waits.
void MainWindow::copySelectedRows()
{
    stopCopy(copyWork);
    auto *model = qobject_cast<SearchResultModel *>(ui->tableView->model());
    if (model) {
        QList<int> rows;
        for (const QModelIndex &index : ui->tableView->selectionModel()->selectedRows()) {
            rows << index.row();
        }
        if (model->unknownPaths(rows) > 0) {
            startCopy(model, rows);
            return;
        }
    }
    const QString text = selectedRowsAsText(ui->tableView);
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
}

// Asks for the paths and returns; copyPathsAdded() copies once the last one has come.
void MainWindow::startCopy(SearchResultModel *model, const QList<int> &rows)
{
    const QVector<qint64> ids = model->takeUnknownPaths(rows);
    auto *progress = new QProgressDialog(tr("正在查找匹配文件……"), tr("取消"), 0, model->unknownPaths(rows), this);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    const quint64 work = ++lastWork;
    copyWork = work;
    copyModel = model;
    copyRows = rows;
    copyProgress = progress;
    connect(model, &SearchResultModel::pathsAdded, progress, [this, work] { copyPathsAdded(work); });
    // A model replaced by a newer search (or a stop) takes its copy with it.
    connect(model, &QObject::destroyed, progress, [this, work] {
        if (work == copyWork) {
            endCopy();
        }
    });
    // The box's 取消, or Esc once it shows; Esc on the window before it shows.
    connect(progress, &QProgressDialog::canceled, this, [this, work] { stopCopy(work); });
    requestPaths(shownSearch, ids, work);
}

void MainWindow::copyPathsAdded(quint64 work)
{
    if (work != copyWork || !copyModel) {
        return;
    }
    const int left = copyModel->unknownPaths(copyRows);
    copyProgress->setValue(copyProgress->maximum() - left);
    if (left > 0) {
        return;
    }
    const QList<int> rows = copyRows;
    endCopy();
    const QString text = rowsAsText(ui->tableView, rows);
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
}

// The copy's paths are no longer wanted: what the search thread still works out for it
// is dropped, and nothing is copied.
void MainWindow::stopCopy(quint64 work)
{
    if (!work || work != copyWork) {
        return;
    }
    worker->stopUpTo(work);
    endCopy();
}

// The progress box goes with every connection made for the copy, so that nothing the
// model or the box does later reaches the window on the copy's behalf.
void MainWindow::endCopy()
{
    QProgressDialog *progress = copyProgress;
    if (progress && copyModel) {
        QObject::disconnect(copyModel, nullptr, progress, nullptr);
    }
    copyWork = 0;
    copyModel = nullptr;
    copyRows.clear();
    copyProgress = nullptr;
    if (progress) {
        progress->disconnect(this);
        progress->hide();
        progress->deleteLater();
    }
}

// Activating a row (Enter, or a double-click as the platform has it) or "软件包详情" in the
// context menu opens the current row's package in the details window.
void MainWindow::initDetailsAction()
{
    auto *detailsAction = new QAction(tr("软件包详情"), ui->tableView);
    detailsAction->setObjectName(QStringLiteral("detailsAction"));
    connect(detailsAction, &QAction::triggered, this, [this] { openDetails(ui->tableView->currentIndex().row()); });
    ui->tableView->addAction(detailsAction);
    connect(ui->tableView, &QAbstractItemView::activated, this,
            [this](const QModelIndex &index) { openDetails(index.row()); });
}

void MainWindow::openDetails(int row)
{
    auto *model = qobject_cast<SearchResultModel *>(ui->tableView->model());
    if (!model || row < 0 || row >= model->rowCount()) {
        return;
    }
    if (!detailsWindow) {
        detailsWindow = new PackageDetailsWindow(this);
        // Esc closes it, as it does a dialog.
        connect(new QShortcut(QKeySequence::Cancel, detailsWindow), &QShortcut::activated, detailsWindow,
                &QWidget::close);
    }
    PackageDetailsRequest request = shownSource;
    request.package = model->index(row, 0).data().toLongLong();
    request.shownName = model->index(row, 1).data().toString();
    detailsWindow->showPackage(request);
}

void MainWindow::requestPaths(quint64 searchWork, const QVector<qint64> &ids, quint64 work)
{
    worker->askPaths(searchWork, work, ids);
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
    if (previous == model) {
        return;
    }
    QItemSelectionModel *previousSelection = ui->tableView->selectionModel();
    ui->tableView->setModel(model);
    applyColumnLayout();
    // A new search starts at its first row, which is the current one.
    ui->tableView->scrollToTop();
    if (model->rowCount() > 0) {
        ui->tableView->selectionModel()->setCurrentIndex(model->index(0, 0), QItemSelectionModel::NoUpdate);
    }
    delete previousSelection;
    if (previous != headerModel) {
        delete previous;
    }
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
    catalogueFound = !catalogue.isEmpty();
    if (catalogue.isEmpty()) {
        reportUnopenedCatalogue(catalogue, QString());
        ui->statusbar->showMessage(tr("没有找到软件包目录"));
        buildOffer->offer(true);
        return;
    }
    const QString problem = probeCatalogue();
    if (!problem.isEmpty()) {
        reportUnopenedCatalogue(catalogue, problem);
    }
}

// Until the first search the status bar names the catalogue in use and its package count.
void MainWindow::showCatalogueInStatusBar(const QString &catalogue)
{
    const QString path = QDir::toNativeSeparators(QFileInfo(catalogue).absoluteFilePath());
    QSqlQuery count(db);
    if (count.exec(QLatin1String(SearchStatement::packageCount)) && count.next()) {
        ui->statusbar->showMessage(tr("软件包目录：%1（%2 个软件包）").arg(path).arg(count.value(0).toLongLong()));
    } else {
        ui->statusbar->showMessage(tr("软件包目录：%1（没有软件包表）").arg(path));
    }
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
                      .arg(places.join(QLatin1Char('\n')))
                  + tr("\n\n或者关闭这个提示后，点击窗口状态栏中的“%1”。").arg(buildOffer->action()->text());
    }
    // SQLite's message may quote the file's own table names: shown as plain text.
    PlainMessageBox::critical(nullptr, QObject::tr("无法打开数据库"), QString::fromUtf8("无法创建数据库连接！ "), details,
                              QMessageBox::Cancel);
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
    if (!opening.problem.isEmpty()) {
        return opening.problem;
    }
    db.setDatabaseName(opening.databaseName);
    db.setConnectOptions(opening.connectOptions(options));
    QString problem;
    if (!db.open()) {
        problem = db.lastError().text();
    } else {
        const CatalogueFeatures features = CatalogueFeatures::read(sqliteHandle(db));
        problem = features.error.isValid() ? features.error.text() : features.refusal;
        if (problem.isEmpty()) {
            showCatalogueInStatusBar(path);
        }
    }
    db.close();
    db.setDatabaseName(path);
    db.setConnectOptions(options);
    return problem;
}

// The status bar's offers: to make a catalogue where none was found, and a hint after a
// search that found nothing (a click on a keyword there searches for it).
void MainWindow::initStatusBarOffers()
{
    buildOffer = new CatalogueBuildOffer(this, ui->statusbar);
    connect(buildOffer, &CatalogueBuildOffer::catalogueBuilt, this, &MainWindow::useBuiltCatalogue);
    hintLabel = new HintLabel(ui->statusbar);
    ui->statusbar->addPermanentWidget(hintLabel);
    connect(hintLabel, &HintLabel::keywordChosen, this, [this](const QString &keyword) {
        ui->keyworkLineEdit->setText(keyword);
        on_searchPushButton_clicked();
    });
}

// Before each search: where none was found, or the one in use has gone, the places are
// looked at again (a stat call each), so that a catalogue made meanwhile is used.
void MainWindow::relocateCatalogue()
{
    const QFileInfo current(db.databaseName());
    if (catalogueFound && (current.exists() || current.isSymLink())) {
        return;
    }
    const QString found = catalogueLocator.find();
    if (found.isEmpty()) {
        catalogueFound = false; // the one in use has gone: the search offers the build
        buildOffer->offer(true);
        return;
    }
    catalogueFound = true;
    buildOffer->offer(false);
    catalogueChange = QDir::toNativeSeparators(QFileInfo(found).absoluteFilePath());
    db.setDatabaseName(found);
}

// The builder has renamed the user's catalogue into place: the window uses it at once
// and names it in the status bar, as at start-up.
void MainWindow::useBuiltCatalogue()
{
    catalogueFound = false;
    relocateCatalogue();
    catalogueChange.clear();
    if (!catalogueFound) {
        return;
    }
    const QString problem = probeCatalogue();
    if (!problem.isEmpty()) {
        ui->statusbar->showMessage(tr("无法读取软件包目录：") + problem);
    }
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
    relocateCatalogue();
    if (!catalogueFound) {
        showModel(headerModel);
        ui->statusbar->showMessage(tr("没有找到软件包目录"));
        buildOffer->offerForSearch();
        return;
    }
    // The search opens the very file, with the very options, of the window's own
    // connection; how it may be opened without writing is decided anew for each search.
    const CatalogueOpening opening = CatalogueOpening::inspect(db.databaseName());
    if (!opening.problem.isEmpty()) {
        reportSearchFailure(tr("无法读取软件包目录：") + opening.problem);
        return;
    }
    request.path = db.databaseName();
    request.databaseName = opening.databaseName;
    request.connectOptions = opening.connectOptions(db.connectOptions());
    qDebug() << "pkg ............." << keyword << "," << osIndex;
    runSearch(request);
}

// Hands the search to the search thread and returns; searchEnded() shows its rows, or
// reports its failure, when its answer comes. A stop or a newer search makes that answer
// count for nothing.
void MainWindow::runSearch(const SearchRequest &request)
{
    runningClock.start();
    // The rows shown so far need no more paths.
    worker->stopUpTo(lastWork);
    const quint64 work = ++lastWork;
    runningSearch = work;
    runningRequest = request;
    ui->statusbar->showMessage(tr("正在搜索……"));
    hintLabel->clearHint();
    hintedSearch = work;
    worker->askSearch(work, request);
}

void MainWindow::searchEnded(quint64 work, const SearchOutcome &outcome)
{
    if (work != runningSearch) {
        return; // stopped, or replaced by a newer search
    }
    runningSearch = 0;
    const SearchRequest request = runningRequest;
    showOutcome(outcome, runningClock.elapsed(), work);
    if (shownSearch == work) {
        shownSource.path = request.path;
        shownSource.databaseName = request.databaseName;
        shownSource.connectOptions = request.connectOptions;
        shownSource.fileKeyword = request.mode == SearchMode::FileName ? request.keyword : QString();
    }
}

// Stops the running search, if any: its statement is interrupted, the table goes back to
// the empty header model at once, and the search thread ends it whenever it gets there.
void MainWindow::stopSearch()
{
    if (!runningSearch) {
        return;
    }
    worker->stopUpTo(runningSearch);
    runningSearch = 0;
    showModel(headerModel);
    ui->statusbar->showMessage(tr("搜索已停止"));
}

void MainWindow::showOutcome(const SearchOutcome &outcome, qint64 elapsedMs, quint64 work)
{
    switch (outcome.end) {
    case SearchOutcome::End::Rows:
        showRows(outcome, elapsedMs, work);
        return;
    case SearchOutcome::End::SqlError:
        reportSearchFailure(failureText(outcome.error));
        return;
    case SearchOutcome::End::NoFileLists:
        reportSearchFailure(tr("这个软件包目录不含文件列表，无法按文件名查找。"));
        return;
    case SearchOutcome::End::OlderCatalogue:
        reportSearchFailure(tr("这个软件包目录是旧格式的，查找器不读取其中的文件列表，无法按文件名查找。"
                               "请用这条命令重新生成：%1")
                                .arg(catalogueLocator.rebuildCommand(db.databaseName())));
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

// The rows go into a model of their own; paths not worked out yet are asked of the search
// thread as the view shows them.
void MainWindow::showRows(const SearchOutcome &outcome, qint64 elapsedMs, quint64 work)
{
    auto *model = new SearchResultModel(outcome.titles, outcome.cells, this);
    if (outcome.titles.size() == 3) {
        connect(model, &SearchResultModel::matchesWanted, this, [this, work](const QVector<qint64> &ids) {
            worker->askMatches(work, ++lastWork, ids);
        });
        connect(worker, &SearchWorker::matchesFound, model,
                [model, work](quint64 searchWork, const QVector<qint64> &ids, const QStringList &tooltips) {
                    if (searchWork == work) {
                        model->addMatches(ids, tooltips);
                    }
                });
    }
    if (outcome.pathsLater) {
        connect(model, &SearchResultModel::pathsWanted, this,
                [this, work](const QVector<qint64> &ids) { requestPaths(work, ids, ++lastWork); });
        connect(worker, &SearchWorker::pathsFound, model,
                [model, work](quint64 searchWork, const QVector<qint64> &ids, const QStringList &paths) {
                    if (searchWork == work) {
                        model->addPaths(ids, paths);
                    }
                });
    }
    showModel(model);
    shownSearch = work;
    const QLocale numbers(QLocale::Chinese, QLocale::China);
    QString message = outcome.fileCount >= 0
                          ? tr("找到 %1 个软件包，%2 个文件，用时 %3 毫秒")
                                .arg(numbers.toString(model->rowCount()), numbers.toString(outcome.fileCount),
                                     numbers.toString(elapsedMs))
                          : tr("找到 %1 个软件包，用时 %2 毫秒")
                                .arg(numbers.toString(model->rowCount()), numbers.toString(elapsedMs));
    if (!catalogueChange.isEmpty()) {
        message += tr("（改用了软件包目录 %1）").arg(catalogueChange);
    }
    catalogueChange.clear();
    ui->statusbar->showMessage(message);
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && copyWork) {
        stopCopy(copyWork); // before the progress box has appeared
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && runningSearch) {
        stopSearch();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    stopSearch();
    stopCopy(copyWork);
    QMainWindow::closeEvent(event);
}

QString MainWindow::failureText(const CatalogueError &error) const
{
    const QString code = error.nativeErrorCode();
    if (code == QLatin1String(sqliteBusy) || code == QLatin1String(sqliteLocked)) {
        return tr("软件包目录正被其他程序占用，请稍后再试：") + error.text();
    }
    return tr("无法在软件包目录中完成查询：") + error.text();
}

// The table goes back to the empty header model; the box names what went wrong.
void MainWindow::reportSearchFailure(const QString &text)
{
    showModel(headerModel);
    ui->statusbar->showMessage(tr("搜索失败"));
    qWarning().noquote() << "search failed:" << text;
    PlainMessageBox::critical(nullptr, tr("查询失败"), text);
}

void MainWindow::on_fileNameRadioButton_clicked()
{
}

void MainWindow::on_packageNameRadioButton_clicked()
{
    if (!ui->packageNameRadioButton->isChecked()) {
        return;
    }
    stopSearch();
    qDebug() << "packageName ...";
    headerModel->setColumnCount(2);
    setHeaderTitles();
    showModel(headerModel);
}
