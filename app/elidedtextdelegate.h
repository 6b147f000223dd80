#ifndef ELIDEDTEXTDELEGATE_H
#define ELIDEDTEXTDELEGATE_H

#include <QStyledItemDelegate>

class QFontMetrics;

// Draws cells as Qt's default delegate does and shows a cell's full text as its tooltip
// when the cell is too narrow for it (the view elides it), and no tooltip otherwise. A
// tooltip always shows as plain text, whatever characters it holds.
class ElidedTextDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // A path (a text that begins with "/") too wide for the item's text area keeps its
    // file's name and loses the middle of its folders: "/usr/share/…/gnu/libc.so.6"; a
    // name too wide alone is elided in its middle too. Other texts are left to the style.
    static void elidePath(QStyleOptionViewItem *item);
    static QString elidedPath(const QString &path, const QFontMetrics &metrics, int width);
};

#endif // ELIDEDTEXTDELEGATE_H
