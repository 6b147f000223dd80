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
    if (!event || event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    // A cell with a tooltip of its own (a file-name result's matching files) shows it.
    const QString tooltip = index.data(Qt::ToolTipRole).toString();
    if (!tooltip.isEmpty()) {
        QToolTip::showText(event->globalPos(), tooltip, view->viewport(), option.rect);
        return true;
    }
    // The text on one line with the margins the style draws it with, against the cell's width.
    const QString text = index.data(Qt::DisplayRole).toString();
    if (option.fontMetrics.horizontalAdvance(text) + 2 * textMargin(view) > option.rect.width())
        QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
    else
        QToolTip::hideText();
    return true;
}

int ElidedTextDelegate::textMargin(const QWidget *widget)
{
    const QStyle *style = widget ? widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

// Paths are elided here, before the style would elide them at its own place.
void ElidedTextDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!option->text.startsWith(QLatin1Char('/')) || option->rect.width() <= 0) {
        return;
    }
    const int width = option->rect.width() - 2 * textMargin(option->widget);
    option->text = elidedPath(option->text, option->fontMetrics, width);
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
