#include "installcommandaction.h"
#include "catalogueconnection.h"
#include "installcommand.h"
#include "searchresultmodel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QTableView>

#include <algorithm>

InstallCommandAction::InstallCommandAction(QTableView *table, SourceFn shownSource)
    : QAction(tr("复制安装命令"), table)
    , table(table)
    , shownSource(std::move(shownSource))
{
    setObjectName(QStringLiteral("installCommandAction"));
    connect(this, &QAction::triggered, this, &InstallCommandAction::copyCommand);
}

void InstallCommandAction::copyCommand()
{
    auto *model = qobject_cast<SearchResultModel *>(table->model());
    if (!model) {
        return;
    }
    QModelIndexList rows = table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QVector<qint64> ids;
    for (const QModelIndex &row : rows) {
        ids << model->index(row.row(), 0).data().toLongLong();
    }
    const PackageDetailsRequest source = shownSource();
    CatalogueConnection connection;
    if (!connection.open(source.path, source.databaseName, source.connectOptions)) {
        emit reported(tr("无法读取软件包目录：") + connection.error().text());
        return;
    }
    if (!machine) {
        machine = InstalledPackages::system();
    }
    const InstallCommand command = InstallCommand::read(connection.handle(), ids, *machine);
    if (command.error.isValid()) {
        emit reported(tr("无法读取软件包目录：") + command.error.text());
        return;
    }
    if (!command.text.isEmpty()) {
        QGuiApplication::clipboard()->setText(command.text);
    }
    QString message = command.text.isEmpty() ? tr("没有可以安装的软件包，没有复制")
                                             : tr("已复制安装命令（%1 个软件包）").arg(command.packages);
    if (command.leftOut > 0) {
        message += tr("；%1 行没有列入（名称不合软件包管理器的规则、重复或超过 %2 个）")
                       .arg(command.leftOut)
                       .arg(InstallCommand::maxPackages);
    }
    emit reported(message);
}
