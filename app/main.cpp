#include "mainwindow.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Qt's own texts (the boxes' standard buttons) in the user's language, where Qt ships
    // a translation for it (Debian: qttranslations5-l10n); the finder's texts are its own.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        app.installTranslator(&qtTexts);
    }
    MainWindow window;
    window.show();
    return app.exec();
}
