#include "matchtooltip.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

QString MatchTooltip::text(const std::vector<std::string> &files, size_t total)
{
    QStringList lines;
    for (size_t i = 0; i < files.size() && i < size_t(maxFiles); ++i) {
        const std::string &file = files[i];
        lines << QString::fromUtf8(file.data(), int(std::min(file.size(), size_t(4) * maxPathChars))).left(maxPathChars);
    }
    if (total > size_t(lines.size())) {
        const QLocale numbers(QLocale::Chinese, QLocale::China);
        lines << QCoreApplication::translate("MatchTooltip", "还有 %1 个文件")
                     .arg(numbers.toString(qulonglong(total - size_t(lines.size()))));
    }
    return lines.join(QLatin1Char('\n'));
}
