#include "finderstartup.h"
#include "cataloguelocator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace {
QString helpDescription()
{
    return QCoreApplication::translate("FinderStartup",
                                       "Quorvi 软件查找器：按软件包名或文件名在软件包目录中查找软件包。\n\n"
                                       "软件包目录 %1 依次在这些位置查找：当前文件夹、%2、%3。\n"
                                       "没有时，窗口可以建立用户自己的软件包目录（quorvi-catalog --user）。")
        .arg(CatalogueLocator::catalogueFileName(), CatalogueLocator::userCataloguePath(),
             CatalogueLocator::systemCataloguePath());
}
} // namespace

int FinderStartup::printRequested(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    // "-reverse" and "-style" are Qt's options, not bundles of one-letter ones.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QCoreApplication::translate("FinderStartup", "显示这段帮助，然后退出。"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QCoreApplication::translate("FinderStartup", "显示版本，然后退出。"));
    parser.addOptions({help, version});
    parser.parse(arguments); // unknown options are Qt's, for QApplication
    if (!parser.isSet(help) && !parser.isSet(version)) {
        return -1;
    }
    // A core application only, for the translated usage text: no display is needed.
    QCoreApplication app(argc, argv);
    installQtTranslation(app);
    QCoreApplication::setApplicationName(QStringLiteral("quorvi"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVI_VERSION));
    QString text;
    if (parser.isSet(help)) {
        parser.setApplicationDescription(helpDescription());
        text = parser.helpText();
    } else {
        text = QStringLiteral("quorvi %1\n").arg(QCoreApplication::applicationVersion());
    }
    std::fputs(text.toUtf8().constData(), stdout);
    return 0;
}

bool FinderStartup::installQtTranslation(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return app.installTranslator(translator);
}
