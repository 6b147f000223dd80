#include "elidedtextdelegate.h"

#include <QAbstractItemView>
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
