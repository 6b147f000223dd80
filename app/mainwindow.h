#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSqlDatabase>

#include "cataloguelocator.h"
#include "packagedetailsloader.h"
#include "searchstatement.h"
#include "searchworker.h"

class CatalogueBuildOffer;
class HintLabel;
class KeywordHistory;
class PackageDetailsWindow;
class QAbstractItemModel;
class CatalogueError;
class QProgressDialog;
class QStandardItemModel;
class QThread;
class SearchResultModel;

namespace Ui {
class MainWindow;
}
using MainWindowUi = Ui::MainWindow;

// The finder's one window: a keyword, an operating-system edition and a search mode
// above a table of the matching packages from the catalogue "os_pkg_list.db", found in
// the working folder, the user's cache or the system's cache (CatalogueLocator). A search
// or a copy is handed to the search thread and the handler returns at once; the answer is
// shown when the thread's signal for the newest request comes, and older answers count
// for nothing.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Whether a search or a copy waits for the search thread's answer.
    bool isBusy() const { return runningSearch != 0 || copyWork != 0; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_searchPushButton_clicked();
    void on_fileNameRadioButton_clicked();
    void on_packageNameRadioButton_clicked();

private:
    void init();
    void initSearchThread();
    void initTableView();
    void initKeyboard();
    void focusKeyword();
    void initCopyAction();
    void initDetailsAction();
    void openDetails(int row);
    void copySelectedRows();
    void startCopy(SearchResultModel *model, const QList<int> &rows);
    void copyPathsAdded(quint64 work);
    void stopCopy(quint64 work);
    void endCopy();
    void initDatabase();
    void initStatusBarOffers();
    void relocateCatalogue();
    void useBuiltCatalogue();
    QString probeCatalogue();
    void showCatalogueInStatusBar(const QString &catalogue);
    void reportUnopenedCatalogue(const QString &catalogue, const QString &error);
    void setHeaderTitles();
    void applyColumnLayout();
    int nameColumnWidth() const;
    void showModel(QAbstractItemModel *model);
    void runSearch(const SearchRequest &request);
    void searchEnded(quint64 work, const SearchOutcome &outcome);
    void stopSearch();
    void showOutcome(const SearchOutcome &outcome, qint64 elapsedMs, quint64 work);
    void showRows(const SearchOutcome &outcome, qint64 elapsedMs, quint64 work);
    void requestPaths(quint64 searchWork, const QVector<qint64> &ids, quint64 work);
    QString failureText(const CatalogueError &error) const;
    void reportSearchFailure(const QString &text);

    MainWindowUi *ui;
    QStandardItemModel *headerModel;
    QSqlDatabase db;
    CatalogueLocator catalogueLocator;
    // The searches run one after the other on this thread, which lives as long as the
    // window; each search and each request for paths gets the next work number.
    QThread *searchThread = nullptr;
    SearchWorker *worker = nullptr;
    quint64 lastWork = 0;
    quint64 runningSearch = 0;  // the search whose answer the window waits for, if any
    SearchRequest runningRequest;
    QElapsedTimer runningClock;
    quint64 shownSearch = 0;    // the search whose rows the table shows
    // The copy that waits for paths, if any: its work, rows and progress box.
    quint64 copyWork = 0;
    QPointer<SearchResultModel> copyModel;
    QList<int> copyRows;
    QPointer<QProgressDialog> copyProgress;
    // The catalogue and keyword of the search whose rows the table shows, for the details
    // window, made when first asked for.
    PackageDetailsRequest shownSource;
    PackageDetailsWindow *detailsWindow = nullptr;
    // No catalogue found: the offer to make one. A catalogue found since (by the offer or
    // outside the window) is named after the next search's result.
    CatalogueBuildOffer *buildOffer = nullptr;
    bool catalogueFound = false;
    QString catalogueChange;
    HintLabel *hintLabel = nullptr; // after a search that found nothing
    KeywordHistory *keywordHistory = nullptr; // Up and Down in the keyword field
    quint64 hintedSearch = 0;       // the search whose hint the label may show
};

#endif // MAINWINDOW_H
