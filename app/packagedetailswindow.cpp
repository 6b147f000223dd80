#include "packagedetailswindow.h"
#include "threadhandoff.h"
#include "packagefilesmodel.h"
#include "elidedtextdelegate.h"

#include <QAction>
#include <QClipboard>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QPointer>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>

#include <catalogueschema.h>

namespace {
QString number(qint64 n)
{
    return QLocale(QLocale::Chinese, QLocale::China).toString(n);
}
} // namespace

PackageDetailsWindow::PackageDetailsWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , files(new PackageFilesModel(this))
{
    setObjectName(QStringLiteral("packageDetailsWindow"));
    setWindowTitle(tr("软件包详情"));
    resize(760, 560);
    buildForm();
    // Without a parent: a window that closes while a read runs leaves the thread to end
    // on its own (see the destructor).
    thread = new QThread;
    thread->setObjectName(QStringLiteral("quorvi-details"));
    loader = new PackageDetailsLoader;
    loader->moveToThread(thread);
    connect(loader, &PackageDetailsLoader::loaded, this, &PackageDetailsWindow::showDetails);
    connect(thread, &QThread::finished, thread, [] { ThreadHandoff::post(); }, Qt::DirectConnection);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

namespace {
// Threads of closed windows that had not ended yet; the application waits for them as
// it goes, when no window is left to freeze.
QList<QPointer<QThread>> &endingThreads()
{
    static QList<QPointer<QThread>> threads;
    return threads;
}

void waitForEndingThreads()
{
    for (const QPointer<QThread> &thread : endingThreads()) {
        if (thread) {
            thread->wait();
            ThreadHandoff::joined();
            delete thread.data();
        }
    }
    endingThreads().clear();
}
} // namespace

// The window goes at once: the read in progress is told to stop (it looks between
// blocks and every few thousand files), the loader is deleted on its own thread, where
// it closes its connection, and the thread deletes itself once it has ended.
PackageDetailsWindow::~PackageDetailsWindow()
{
    loader->stopUpTo(lastWork);
    // The loader ends on its own thread while this window goes: its signals are cut here
    // first, so that the two are never taken apart from both threads at once.
    disconnect(loader, nullptr, this, nullptr);
    PackageDetailsLoader *ending = loader;
    ThreadHandoff::post();
    ending->deleteLater();
    thread->quit();
    if (endingThreads().isEmpty()) {
        qAddPostRoutine(waitForEndingThreads);
    }
    endingThreads().removeAll(QPointer<QThread>());
    endingThreads().append(thread);
}

void PackageDetailsWindow::buildForm()
{
    auto *form = new QFormLayout;
    nameValue = addValue(form, tr("名称："), "nameValue");
    versionValue = addValue(form, tr("版本："), "versionValue");
    archValue = addValue(form, tr("架构："), "archValue");
    summaryValue = addValue(form, tr("简介："), "summaryValue");
    sectionValue = addValue(form, tr("分类："), "sectionValue");
    installedValue = addValue(form, tr("安装状态："), "installedValue");
    commandEdit = new QLineEdit;
    commandEdit->setObjectName(QStringLiteral("installCommandEdit"));
    commandEdit->setReadOnly(true);
    auto *copyCommand = new QPushButton(tr("复制"));
    copyCommand->setObjectName(QStringLiteral("copyCommandButton"));
    connect(copyCommand, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(commandEdit->text()); });
    auto *commandRow = new QHBoxLayout;
    commandRow->addWidget(commandEdit);
    commandRow->addWidget(copyCommand);
    form->addRow(tr("安装命令："), commandRow);

    missingLabel = new QLabel;
    missingLabel->setObjectName(QStringLiteral("missingDetailsLabel"));
    missingLabel->setTextFormat(Qt::PlainText);
    missingLabel->setWordWrap(true);
    missingLabel->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(missingLabel);
    layout->addWidget(buildFilesBox(), 1);
}

QLabel *PackageDetailsWindow::addValue(QFormLayout *form, const QString &title, const char *objectName)
{
    auto *value = new QLabel;
    value->setObjectName(QLatin1String(objectName));
    value->setTextFormat(Qt::PlainText); // the catalogue's text, never markup
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setWordWrap(true);
    form->addRow(title, value);
    return value;
}

// The files: a count, the filter field and the list (one model row a path, so that a
// package of a hundred thousand files shows at once).
QWidget *PackageDetailsWindow::buildFilesBox()
{
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    filesLabel = new QLabel;
    filesLabel->setObjectName(QStringLiteral("filesLabel"));
    filesLabel->setTextFormat(Qt::PlainText);
    filesLabel->setWordWrap(true);
    filterEdit = new QLineEdit;
    filterEdit->setObjectName(QStringLiteral("fileFilterEdit"));
    filterEdit->setPlaceholderText(tr("筛选文件（路径中包含的文字）"));
    connect(filterEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        files->setFilter(text);
        showFileCounts();
    });
    fileList = new QListView;
    fileList->setObjectName(QStringLiteral("fileListView"));
    fileList->setModel(files);
    fileList->setUniformItemSizes(true);
    fileList->setItemDelegate(new ElidedTextDelegate(fileList)); // a cut path shows whole, as plain text
    fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto *copy = new QAction(tr("复制"), fileList);
    copy->setObjectName(QStringLiteral("copyFilesAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &PackageDetailsWindow::copySelectedFiles);
    fileList->addAction(copy);
    fileList->setContextMenuPolicy(Qt::ActionsContextMenu);
    layout->addWidget(filesLabel);
    layout->addWidget(filterEdit);
    layout->addWidget(fileList, 1);
    return box;
}

void PackageDetailsWindow::showPackage(PackageDetailsRequest request)
{
    loader->stopUpTo(lastWork);
    request.work = ++lastWork;
    keyword = request.fileKeyword;
    for (QLabel *value : {nameValue, versionValue, archValue, summaryValue, sectionValue, installedValue}) {
        value->setText(tr("正在读取……"));
    }
    commandEdit->clear();
    missingLabel->hide();
    filesLabel->setText(tr("文件：正在读取……"));
    filesLabel->setToolTip(QString());
    unlistedFiles = 0;
    files->setFiles(QStringList(), 0);
    loader->askLoad(request);
    show();
    raise();
    activateWindow();
}

void PackageDetailsWindow::showDetails(const PackageDetails &details)
{
    if (details.work != lastWork) {
        return;
    }
    showInfo(details);
    if (details.info.found) {
        showInstalled(details);
        showFiles(details);
    }
    emit detailsShown();
}

// What the catalogue says; a catalogue without the details table gets the package
// table's version and a note of what is missing.
void PackageDetailsWindow::showInfo(const PackageDetails &details)
{
    const PackageInfo &info = details.info;
    const QString none = info.hasDetails ? tr("（元数据中没有）") : tr("（软件包目录中没有）");
    setWindowTitle(info.found ? tr("软件包详情：%1").arg(info.name) : tr("软件包详情"));
    nameValue->setText(info.name);
    versionValue->setText(info.version);
    archValue->setText(info.arch);
    summaryValue->setText(info.summary.isEmpty() ? none : info.summary);
    sectionValue->setText(info.section.isEmpty() ? none : info.section);
    QString missing;
    if (!details.catalogueError.isEmpty()) {
        missing = tr("无法读取软件包目录：%1").arg(details.catalogueError);
    } else if (details.replaced) {
        missing = tr("软件包目录已被替换，请重新搜索");
    } else if (!info.found) {
        missing = tr("软件包目录中已没有这个软件包（软件包目录可能已被替换），请重新搜索。");
    } else if (!info.hasDetails) {
        missing = tr("这个软件包目录没有软件包详情（%1 表）：版本是软件包表中的“版本-发行号”，不含 epoch，"
                     "简介和分类无法显示。用新版 quorvi-catalog 重新生成软件包目录即可补上。")
                      .arg(QLatin1String(QV_PKG_INFO_TABLE));
    }
    missingLabel->setText(missing);
    missingLabel->setVisible(!missing.isEmpty());
    if (!info.found) {
        for (QLabel *value : {installedValue, summaryValue, sectionValue})
            value->clear();
        filesLabel->setText(QString());
    }
}

// Read from this machine's package manager at the moment the request was made.
void PackageDetailsWindow::showInstalled(const PackageDetails &details)
{
    const PackageInfo &info = details.info;
    commandEdit->setText(details.packages.installCommand(info.name, info.arch));
    commandEdit->setCursorPosition(0);
    if (details.packages.manager() == InstalledPackages::Manager::None) {
        installedValue->setText(tr("无法判断：这台机器上没有 dpkg 或 rpm 的软件包数据库"));
        return;
    }
    if (!details.installedError.isEmpty()) {
        installedValue->setText(tr("无法判断：%1").arg(details.installedError));
        return;
    }
    const auto same = std::find_if(details.installed.begin(), details.installed.end(),
                                   [&](const InstalledPackages::Installed &i) { return i.arch == info.arch; });
    if (same == details.installed.end()) {
        QStringList others;
        for (const InstalledPackages::Installed &other : details.installed)
            others << tr("%1 架构的 %2").arg(other.arch, other.version);
        installedValue->setText(others.isEmpty() ? tr("未安装")
                                                 : tr("未安装（已安装：%1）").arg(others.join(tr("，"))));
        return;
    }
    QString text = tr("已安装 %1").arg(same->version);
    if (same->state != QLatin1String("installed")) {
        text += tr("（状态：%1）").arg(same->state);
    } else if (info.hasDetails && same->version != info.version) {
        text += tr("（软件包目录中是 %1）").arg(info.version);
    }
    installedValue->setText(text);
}

void PackageDetailsWindow::showFiles(const PackageDetails &details)
{
    filterEdit->clear();
    unlistedFiles = details.unlisted;
    files->setFiles(details.paths, details.matched);
    switch (details.files) {
    case PackageDetails::Files::Listed:
        filesLabel->setToolTip(tr("读取用时 %1 毫秒").arg(details.filesMs));
        showFileCounts();
        return;
    case PackageDetails::Files::NoFileLists:
        filesLabel->setText(tr("文件：这个软件包目录不含文件列表。"));
        return;
    case PackageDetails::Files::OlderCatalogue:
        filesLabel->setText(tr("文件：这个软件包目录是旧格式的，查找器不读取其中的文件列表。"));
        return;
    case PackageDetails::Files::Failed:
        filesLabel->setText(tr("文件：无法读取文件列表：%1").arg(details.filesError));
        return;
    }
}

void PackageDetailsWindow::showFileCounts()
{
    QString text = tr("文件：共 %1 个").arg(number(files->totalCount() + unlistedFiles));
    if (unlistedFiles > 0) {
        text += tr("，列出前 %1 个，还有 %2 个未列出").arg(number(files->totalCount()), number(unlistedFiles));
    }
    if (!keyword.isEmpty()) {
        text += tr("，其中 %1 个与“%2”匹配（排在前面，粗体）").arg(number(files->matchedCount()), keyword);
    }
    if (!filterEdit->text().isEmpty()) {
        text += tr("；筛选后显示 %1 个").arg(number(files->rowCount()));
    }
    filesLabel->setText(text);
}

// The selected paths in the order shown, one a line; with none selected, every path shown.
void PackageDetailsWindow::copySelectedFiles()
{
    QModelIndexList rows = fileList->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList paths;
    if (rows.isEmpty()) {
        for (int row = 0; row < files->rowCount(); ++row)
            paths << files->index(row, 0).data().toString();
    } else {
        for (const QModelIndex &index : rows)
            paths << index.data().toString();
    }
    if (!paths.isEmpty()) {
        QGuiApplication::clipboard()->setText(paths.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    }
}
