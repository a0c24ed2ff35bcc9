#include "enterlineedit.h"

#include <QKeyEvent>

void EnterLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit enterPressed(event->modifiers() & ~Qt::KeypadModifier);
        return;
    }
    QLineEdit::keyPressEvent(event);
}
