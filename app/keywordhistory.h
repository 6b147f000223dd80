#ifndef KEYWORDHISTORY_H
#define KEYWORDHISTORY_H

#include <QObject>
#include <QStringList>

class QLineEdit;

// The keywords searched for in this session, walked with Up (earlier) and Down (later)
// in the keyword field, as a shell's history: Down past the latest brings back what was
// being typed. A keyword searched again moves to the end.
class KeywordHistory : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxKeywords = 100;

    explicit KeywordHistory(QLineEdit *field);
    void add(const QString &keyword);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void step(int by);

    QLineEdit *field;
    QStringList keywords;
    int position = 0;  // keywords.size(): the text being typed
    QString typed;
};

#endif // KEYWORDHISTORY_H
