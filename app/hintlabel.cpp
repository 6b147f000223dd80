#include "hintlabel.h"
#include "searchhint.h"

#include <QLocale>
#include <QUrl>

namespace {
const char scheme[] = "keyword:";
} // namespace

HintLabel::HintLabel(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("searchHintLabel"));
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(this, &QLabel::linkActivated, this, [this](const QString &href) {
        if (href.startsWith(QLatin1String(scheme))) {
            emit keywordChosen(QUrl::fromPercentEncoding(href.mid(int(sizeof scheme) - 1).toUtf8()));
        }
    });
    hide();
}

QString HintLabel::link(const QString &keyword)
{
    return QStringLiteral("<a href=\"%1%2\">%3</a>")
        .arg(QLatin1String(scheme), QString::fromLatin1(QUrl::toPercentEncoding(keyword)), keyword.toHtmlEscaped());
}

// A "*KEY*" that finds nothing either is not offered.
void HintLabel::showHint(const SearchHint &hint)
{
    QStringList parts;
    if (hint.wildCount > 0) {
        const QLocale numbers(QLocale::Chinese, QLocale::China);
        parts << tr("试试 %1：%2 个").arg(link(hint.wildKeyword), numbers.toString(hint.wildCount));
    }
    if (!hint.names.isEmpty()) {
        QStringList links;
        for (const QString &name : hint.names)
            links << link(name);
        parts << tr("您是不是要找：%1").arg(links.join(QStringLiteral("、")));
    }
    if (parts.isEmpty()) {
        clearHint();
        return;
    }
    setText(parts.join(QStringLiteral("；")));
    show();
}

void HintLabel::clearHint()
{
    clear();
    hide();
}
