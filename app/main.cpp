#include "finderstartup.h"
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    const int printed = FinderStartup::printRequested(argc, argv);
    if (printed >= 0) {
        return printed;
    }
    QApplication app(argc, argv);
    FinderStartup::installQtTranslation(app);
    MainWindow window;
    window.show();
    return app.exec();
}
