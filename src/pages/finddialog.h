#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class TFormWebbrowser;

// "查找": finds text in the active page, from the current match on, up or down, with or
// without letter case; says "找不到" when there is none.
class FindDialog : public QDialog
{
    Q_OBJECT

public:
    FindDialog(TFormWebbrowser *pages, QWidget *parent);

    void findNext();
    QLineEdit *textField() const { return m_text; }
    QString result() const;

private:
    TFormWebbrowser *m_pages;
    QLineEdit *m_text;
    QCheckBox *m_matchCase;
    QRadioButton *m_up;
    QLabel *m_result;
};
