#include "elidedtextdelegate.h"

#include <QAbstractItemView>
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
