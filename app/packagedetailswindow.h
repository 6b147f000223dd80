#ifndef PACKAGEDETAILSWINDOW_H
#define PACKAGEDETAILSWINDOW_H

#include "packagedetailsloader.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QThread;
class PackageFilesModel;

// One package in detail, in a window of its own: name, full version, architecture,
// summary, section, whether it is installed here and the command that installs it, and
// every file it ships, filtered by a text and copied one path a line. Each request
// replaces what the window shows; the reading happens on the loader's thread.
class PackageDetailsWindow : public QWidget
{
    Q_OBJECT

public:
    explicit PackageDetailsWindow(QWidget *parent = nullptr);
    ~PackageDetailsWindow() override;

    // Shows the package of `request` (its work number is set here) and raises the window.
    void showPackage(PackageDetailsRequest request);

signals:
    // The window shows everything of its latest request.
    void detailsShown();

private:
    void buildForm();
    QWidget *buildFilesBox();
    QLabel *addValue(class QFormLayout *form, const QString &title, const char *objectName);
    void showDetails(const PackageDetails &details);
    void showInfo(const PackageDetails &details);
    void showInstalled(const PackageDetails &details);
    void showFiles(const PackageDetails &details);
    void showFileCounts();
    void copySelectedFiles();

    QThread *thread = nullptr;
    PackageDetailsLoader *loader = nullptr;
    quint64 lastWork = 0;
    QString keyword;

    QLabel *nameValue = nullptr;
    QLabel *versionValue = nullptr;
    QLabel *archValue = nullptr;
    QLabel *summaryValue = nullptr;
    QLabel *sectionValue = nullptr;
    QLabel *installedValue = nullptr;
    QLineEdit *commandEdit = nullptr;
    QLabel *missingLabel = nullptr;
    QLabel *filesLabel = nullptr;
    QLineEdit *filterEdit = nullptr;
    QListView *fileList = nullptr;
    PackageFilesModel *files = nullptr;
    qint64 unlistedFiles = 0;
};

#endif // PACKAGEDETAILSWINDOW_H
