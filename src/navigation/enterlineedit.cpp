#include "enterlineedit.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>

EnterLineEdit *EnterLineEdit::install(QComboBox *box)
{
    auto *edit = new EnterLineEdit(box);
    box->setLineEdit(edit);
    QObject::disconnect(edit, &QLineEdit::editingFinished, box, nullptr);
    edit->setAcceptDrops(false);
    return edit;
}

bool EnterLineEdit::event(QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return QLineEdit::event(event);
    auto *key = static_cast<QKeyEvent *>(event);
    for (auto editing : {QKeySequence::SelectAll, QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                         QKeySequence::Undo, QKeySequence::Redo})
        if (key->matches(editing))
            return QLineEdit::event(event);
    const QKeySequence pressed(key->keyCombination());
    for (const QAction *action : window()->actions()) {
        if (action->shortcut() == pressed && action->isEnabled()) {
            // Not claimed: the window's shortcut runs.
            event->ignore();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void EnterLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit enterPressed(event->modifiers() & ~Qt::KeypadModifier);
        return;
    }
    QLineEdit::keyPressEvent(event);
}
