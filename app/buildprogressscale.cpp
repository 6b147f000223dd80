#include "buildprogressscale.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QtGlobal>

namespace {
const char writingPrefix[] = "writing ";

bool isWriting(const QString &label)
{
    return label.startsWith(QLatin1String(writingPrefix));
}
} // namespace

int BuildProgressScale::advance(int permille, const QString &label)
{
    const int done = qBound(0, permille, fullScale);
    if (isWriting(label)) {
        stepLabel.clear();
        current = qMax(current, readingShare + done * (fullScale - readingShare) / fullScale);
        return current;
    }
    if (label != stepLabel) {
        stepLabel = label;
        stepStart = current;
        stepEnd = current + qMax(0, readingShare - current) / 2;
    }
    current = qMax(current, stepStart + done * (stepEnd - stepStart) / fullScale);
    return current;
}

QString BuildProgressScale::phaseText(const QString &label)
{
    if (!isWriting(label)) {
        // A list's name without its folder (apt's names are long enough); a folder whole.
        const QFileInfo input(label);
        return QCoreApplication::translate("BuildProgressScale", "正在读取 %1")
            .arg(input.isDir() || input.fileName().isEmpty() ? label : input.fileName());
    }
    const QString step = label.mid(int(sizeof writingPrefix) - 1);
    struct Step
    {
        const char *name;
        const char *text;
    };
    static const Step steps[] = {
        {"packages", QT_TRANSLATE_NOOP("BuildProgressScale", "正在写入软件包")},
        {"file names", QT_TRANSLATE_NOOP("BuildProgressScale", "正在写入文件名")},
        {"directories", QT_TRANSLATE_NOOP("BuildProgressScale", "正在写入文件夹")},
        {"file links", QT_TRANSLATE_NOOP("BuildProgressScale", "正在写入软件包的文件列表")},
        {"indexes", QT_TRANSLATE_NOOP("BuildProgressScale", "正在建立索引")},
    };
    for (const Step &known : steps) {
        if (step == QLatin1String(known.name)) {
            return QCoreApplication::translate("BuildProgressScale", known.text);
        }
    }
    return QCoreApplication::translate("BuildProgressScale", "正在写入（%1）").arg(step);
}
