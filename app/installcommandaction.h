#ifndef INSTALLCOMMANDACTION_H
#define INSTALLCOMMANDACTION_H

#include "installedpackages.h"
#include "packagedetails.h"

#include <QAction>

#include <functional>
#include <optional>

class QTableView;

// "复制安装命令" in the result table's context menu: one command that installs the
// packages of all selected rows (InstallCommand), put on the clipboard. The names are read
// by id from the catalogue the rows came from, at most InstallCommand::maxPackages.
class InstallCommandAction : public QAction
{
    Q_OBJECT

public:
    using SourceFn = std::function<PackageDetailsRequest()>;

    InstallCommandAction(QTableView *table, SourceFn shownSource);

signals:
    // What was copied, or why nothing was, for the status bar.
    void reported(const QString &message);

private:
    void copyCommand();

    QTableView *table;
    SourceFn shownSource;
    std::optional<InstalledPackages> machine; // read once: its manager and native architecture
};

#endif // INSTALLCOMMANDACTION_H
