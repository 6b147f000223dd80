#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QSqlDatabase>

#include "cataloguelocator.h"
#include "searchstatement.h"

class QAbstractItemModel;
class QSqlError;
class QStandardItemModel;

namespace Ui {
class MainWindow;
}
using MainWindowUi = Ui::MainWindow;

// The finder's one window: a keyword, an operating-system edition and a search mode
// above a table of the matching packages from the catalogue "os_pkg_list.db", found in
// the working folder, the user's cache or the system's cache (CatalogueLocator).
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void on_searchPushButton_clicked();
    void on_fileNameRadioButton_clicked();
    void on_packageNameRadioButton_clicked();

private:
    void init();
    void initTableView();
    void initCopyAction();
    void initDatabase();
    QSqlError probeCatalogue() const;
    void showCatalogueInStatusBar(const QString &catalogue);
    void reportUnopenedCatalogue(const QString &catalogue, const QString &error);
    void setHeaderTitles();
    void applyColumnLayout();
    void showModel(QAbstractItemModel *model);
    QString runSearch(const QString &keyword, SearchMode mode);
    QString failureText(const QSqlError &error) const;
    void reportSearchFailure(const QString &text);

    MainWindowUi *ui;
    QStandardItemModel *headerModel;
    QSqlDatabase db;
    CatalogueLocator catalogueLocator;
};

#endif // MAINWINDOW_H
