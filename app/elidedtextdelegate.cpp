#include "elidedtextdelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

bool ElidedTextDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                   const QModelIndex &index)
{
    if (!event || event->type() != QEvent::ToolTip || !index.isValid()) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    // A cell with a tooltip of its own (a file-name result's matching files) shows it.
    const QString tooltip = index.data(Qt::ToolTipRole).toString();
    if (!tooltip.isEmpty()) {
        QToolTip::showText(event->globalPos(), tooltip, view->viewport(), option.rect);
        return true;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    // The text on one line with the margins the style draws it with, against the cell's width.
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    if (item.fontMetrics.horizontalAdvance(item.text) + 2 * margin > option.rect.width()) {
        QToolTip::showText(event->globalPos(), item.text, view->viewport(), option.rect);
    
    }else {
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
