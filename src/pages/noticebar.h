#pragma once

#include <QFrame>

class QColor;
class QHBoxLayout;
class QLabel;
class QToolButton;

// A slim bar of one line above the pages or above one page: a plain-text message, its
// buttons and "×". It never takes the keyboard, so typing goes on where it was.
class NoticeBar : public QFrame
{
    Q_OBJECT

public:
    // The buttons follow the text; `textTakesRow`: the text takes the free width (the
    // buttons stand at the right), else the buttons stand beside the text.
    NoticeBar(const QString &name, const QColor &shade, const QString &text, bool textTakesRow,
              QWidget *parent = nullptr);

    QLabel *text() const { return m_text; }
    QToolButton *addButton(const QString &name, const QString &label, bool flat = true);
    // "×", named `name`; what it does is the owner's.
    QToolButton *addCloseButton(const QString &name);

private:
    QHBoxLayout *m_layout;
    QLabel *m_text;
    bool m_textTakesRow;
};
