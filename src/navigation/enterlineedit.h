#pragma once

#include <QLineEdit>

// The edit field of the address and search boxes: Enter, with whatever modifiers were
// held, is reported once and goes no further (the box must not also act on it).
class EnterLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

signals:
    void enterPressed(Qt::KeyboardModifiers modifiers);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
