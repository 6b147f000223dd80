#include "coretestsupport.h"
#include "cataloguelocator.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {
QStringList recorded;
QtMessageHandler previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // The offscreen platform's own complaint is no line of the finder's.
    const bool platformNoise = message.contains(QLatin1String("propagateSizeHints"));
    if ((type == QtDebugMsg || type == QtWarningMsg) && !platformNoise) {
        recorded << message;
    }
    if (previousHandler) {
        previousHandler(type, context, message);
    }
}
} // namespace

CatalogueFolder::CatalogueFolder()
    : previous(QDir::currentPath())
{
    if (!dir.isValid()) {
        return;
    }
    QDir::setCurrent(dir.path());
    CatalogueLocator::overrideStandardPlaces(
        {CatalogueLocator::catalogueFileName(), userCatalogue(), systemCatalogue()});
}

CatalogueFolder::~CatalogueFolder()
{
    CatalogueLocator::overrideStandardPlaces({});
    QDir::setCurrent(previous);
}

MessageLog::MessageLog()
{
    recorded.clear();
    previousHandler = qInstallMessageHandler(recordMessage);
}

MessageLog::~MessageLog()
{
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
}

QStringList MessageLog::lines() const
{
    return recorded;
}

QStringList MessageLog::linesStartingWith(const QString &prefix) const
{
    QStringList found;
    for (const QString &line : recorded) {
        if (line.startsWith(prefix)) {
            found << line;
        }
    }
    return found;
}

void MessageLog::clear()
{
    recorded.clear();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.readAll();
}

QString testData(const QString &relative)
{
    return QStringLiteral(QUORVI_TEST_DATA "/") + relative;
}

void buildCatalogue(const QString &path, const QStringList &sources)
{
    QProcess builder;
    builder.start(QStringLiteral(QUORVI_CATALOG_BIN), QStringList{"-o", path, "--quiet"} + sources);
    QVERIFY2(builder.waitForFinished(-1), qPrintable(builder.errorString()));
    const QString errors = QString::fromUtf8(builder.readAllStandardError());
    QVERIFY2(builder.exitStatus() == QProcess::NormalExit && builder.exitCode() == 0, qPrintable(errors));
}
