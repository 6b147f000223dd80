#include "elidedtextdelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>

namespace {
// A tooltip's text comes from the catalogue (package names, file paths): Qt would take
// one that looks like markup for rich text and render it, loading any image it names.
// Escaped and kept on its lines, it shows as the characters it is.
void showPlainToolTip(const QHelpEvent *event, const QString &text, QAbstractItemView *view, const QRect &rect)
{
    QToolTip::showText(event->globalPos(), Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap), view->viewport(),
                       rect);
}
} // namespace

bool ElidedTextDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                   const QModelIndex &index)
{
    if (!event || event->type() != QEvent::ToolTip || !index.isValid()) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    // A cell with a tooltip of its own (a file-name result's matching files) shows it.
    const QString tooltip = index.data(Qt::ToolTipRole).toString();
    if (!tooltip.isEmpty()) {
        showPlainToolTip(event, tooltip, view, option.rect);
        return true;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    // The text on one line with the margins the style draws it with, against the cell's width.
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    if (item.fontMetrics.horizontalAdvance(item.text) + 2 * margin > option.rect.width()) {
        showPlainToolTip(event, item.text, view, option.rect);
    } else {
        QToolTip::hideText();
    }
    return true;
}

// As QStyledItemDelegate::paint, with a path elided before the style would elide it at
// its own place.
void ElidedTextDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    elidePath(&item);
    const QStyle *style = item.widget ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
}

void ElidedTextDelegate::elidePath(QStyleOptionViewItem *item)
{
    if (!item->text.startsWith(QLatin1Char('/')) || item->rect.width() <= 0) {
        return;
    }
    const QStyle *style = item->widget ? item->widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, item->widget) + 1;
    item->text = elidedPath(item->text, item->fontMetrics, item->rect.width() - 2 * margin);
}

QString ElidedTextDelegate::elidedPath(const QString &path, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(path) <= width) {
        return path;
    }
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash); // with its "/"
    const int nameWidth = metrics.horizontalAdvance(name);
    if (slash <= 0 || nameWidth >= width) {
        return metrics.elidedText(name, Qt::ElideMiddle, width);
    }
    return metrics.elidedText(path.left(slash), Qt::ElideMiddle, width - nameWidth) + name;
}
