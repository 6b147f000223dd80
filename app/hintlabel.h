#ifndef HINTLABEL_H
#define HINTLABEL_H

#include <QLabel>

class SearchHint;

// The status bar's hint after a search that found nothing: "试试 *KEY*：N 个" and
// "您是不是要找：…", each keyword a link; a click on one asks for that search.
class HintLabel : public QLabel
{
    Q_OBJECT

public:
    explicit HintLabel(QWidget *parent = nullptr);

    // Shows the hint, or hides the label when it offers nothing.
    void showHint(const SearchHint &hint);
    void clearHint();

signals:
    void keywordChosen(const QString &keyword);

private:
    static QString link(const QString &keyword);
};

#endif // HINTLABEL_H
