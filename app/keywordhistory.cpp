#include "keywordhistory.h"

#include <QKeyEvent>
#include <QLineEdit>

KeywordHistory::KeywordHistory(QLineEdit *field)
    : QObject(field)
    , field(field)
{
    field->installEventFilter(this);
}

void KeywordHistory::add(const QString &keyword)
{
    if (keyword.isEmpty()) {
        return;
    }
    keywords.removeAll(keyword);
    keywords << keyword;
    while (keywords.size() > maxKeywords) {
        keywords.removeFirst();
    }
    position = keywords.size();
}

bool KeywordHistory::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == field && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
            && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            step(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void KeywordHistory::step(int by)
{
    const int next = position + by;
    if (next < 0 || next > keywords.size()) {
        return;
    }
    if (position == keywords.size()) {
        typed = field->text();
    }
    position = next;
    field->setText(position == keywords.size() ? typed : keywords.at(position));
}
