#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QSqlDatabase>

#include "searchstatement.h"

class QAbstractItemModel;
class QSqlError;
class QStandardItemModel;

namespace Ui {
class MainWindow;
}
using MainWindowUi = Ui::MainWindow;

// The finder's one window: a keyword, an operating-system edition and a search mode
// above a table of the matching packages from the catalogue "os_pkg_list.db".
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
    bool catalogueReadable() const;
    void setHeaderTitles();
    void applyColumnLayout();
    void showModel(QAbstractItemModel *model);
    QString runSearch(const QString &keyword, SearchMode mode);
    QString failureText(const QSqlError &error) const;
    void reportSearchFailure(const QString &text);

    MainWindowUi *ui;
    QStandardItemModel *headerModel;
    QSqlDatabase db;
};

#endif // MAINWINDOW_H
