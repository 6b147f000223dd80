#ifndef ELIDEDTEXTDELEGATE_H
#define ELIDEDTEXTDELEGATE_H

#include <QStyledItemDelegate>

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
};

#endif // ELIDEDTEXTDELEGATE_H
