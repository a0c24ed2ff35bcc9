#include "finddialog.h"

#include "../engine/embeddedwb.h"
#include "formwebbrowser.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

FindDialog::FindDialog(TFormWebbrowser *pages, QWidget *parent) : QDialog(parent), m_pages(pages)
{
    setObjectName(QStringLiteral("FindDialog"));
    setWindowTitle(QStringLiteral("查找"));
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("FindText"));
    m_matchCase = new QCheckBox(QStringLiteral("区分大小写(&C)"), this);
    m_matchCase->setObjectName(QStringLiteral("FindMatchCase"));
    auto *direction = new QGroupBox(QStringLiteral("方向"), this);
    m_up = new QRadioButton(QStringLiteral("向上(&U)"), direction);
    m_up->setObjectName(QStringLiteral("FindUp"));
    auto *down = new QRadioButton(QStringLiteral("向下(&D)"), direction);
    down->setChecked(true);
    auto *directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(down);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("FindResult"));
    m_result->setTextFormat(Qt::PlainText);

    auto *next = new QPushButton(QStringLiteral("查找下一个(&F)"), this);
    next->setObjectName(QStringLiteral("FindNext"));
    next->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    connect(next, &QPushButton::clicked, this, &FindDialog::findNext);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *row = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("查找内容(&N):"), this);
    label->setBuddy(m_text);
    row->addWidget(label);
    row->addWidget(m_text, 1);
    auto *options = new QHBoxLayout;
    options->addWidget(m_matchCase);
    options->addWidget(direction);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_result, 1);
    buttons->addWidget(next);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(options);
    layout->addLayout(buttons);
}

QString FindDialog::result() const
{
    return m_result->text();
}

void FindDialog::findNext()
{
    const QString text = m_text->text();
    const TFormWebbrowser::PageView *active = m_pages->activePage();
    if (text.isEmpty() || !active || !active->browser()->Document())
        return;
    m_result->clear();
    QPointer<FindDialog> self = this;
    active->browser()->findText(text, m_matchCase->isChecked(), m_up->isChecked(), [self, text](int matches) {
        if (self)
            self->m_result->setText(matches > 0 ? QString() : QStringLiteral("找不到“%1”").arg(text));
    });
}
