#include "noticebar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

NoticeBar::NoticeBar(const QString &name, const QColor &shade, const QString &text, bool textTakesRow,
                     QWidget *parent)
    : QFrame(parent), m_textTakesRow(textTakesRow)
{
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    // Its own shade, light on a dark desktop too: the text and buttons on it stay dark.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, shade);
    const QColor ink(0x20, 0x20, 0x20);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        colours.setColor(QPalette::Active, role, ink);
        colours.setColor(QPalette::Inactive, role, ink);
    }
    colours.setColor(QPalette::Button, shade.lighter(104));
    colours.setColor(QPalette::Base, Qt::white);
    setPalette(colours);
    // Page titles and addresses go into it: never read as markup.
    m_text = new QLabel(text, this);
    m_text->setTextFormat(Qt::PlainText);
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(6, 1, 2, 1);
    m_layout->addWidget(m_text, textTakesRow ? 1 : 0);
}

QToolButton *NoticeBar::addButton(const QString &name, const QString &label, bool flat)
{
    auto *button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(label);
    button->setAutoRaise(flat);
    button->setFocusPolicy(Qt::NoFocus);
    m_layout->addWidget(button);
    return button;
}

QToolButton *NoticeBar::addCloseButton(const QString &name)
{
    if (!m_textTakesRow)
        m_layout->addStretch(1);
    return addButton(name, QStringLiteral("×"));
}
