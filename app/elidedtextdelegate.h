#ifndef ELIDEDTEXTDELEGATE_H
#define ELIDEDTEXTDELEGATE_H

#include <QStyledItemDelegate>

class QFontMetrics;

// Draws cells as Qt's default delegate does and shows a cell's full text as its tooltip
// when the cell is too narrow for it (the view elides it), and no tooltip otherwise. A
// path that does not fit keeps its file's name and loses the middle of its folders.
class ElidedTextDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // "/usr/share/…/x86_64-linux-gnu/libc.so.6": the path within width pixels, its last
    // part whole where it fits alone, else elided in its middle too.
    static QString elidedPath(const QString &path, const QFontMetrics &metrics, int width);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    static int textMargin(const QWidget *widget);
};

#endif // ELIDEDTEXTDELEGATE_H
