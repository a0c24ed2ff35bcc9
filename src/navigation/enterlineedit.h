#pragma once

#include <QLineEdit>

class QComboBox;

// The edit field of the address and search boxes: Enter, with whatever modifiers were
// held, is reported once and goes no further (the box must not also act on it). The
// window's command keys win over the field's own editing keys (Ctrl+E exits, it does not
// move to the end of the line); the common editing keys stay the field's.
class EnterLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

    // Makes a new edit field the box's own. The box reports a choice only when the user
    // picks from its list (Qt would also report one whenever the field loses the focus
    // holding a list entry's text), and text dropped on it goes on to the window.
    static EnterLineEdit *install(QComboBox *box);

signals:
    void enterPressed(Qt::KeyboardModifiers modifiers);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};
