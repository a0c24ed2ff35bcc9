#include "rootnotice.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include <unistd.h>

namespace RootNotice {

bool sandboxOff()
{
    return ::geteuid() == 0;
}

QWidget *make()
{
    if (!sandboxOff())
        return nullptr;
    auto *bar = new QFrame;
    bar->setObjectName(QStringLiteral("RootNotice"));
    bar->setFocusPolicy(Qt::NoFocus);
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setAutoFillBackground(true);
    QPalette shade = bar->palette();
    shade.setColor(QPalette::Window, QColor(0xfd, 0xf0, 0xd5));
    bar->setPalette(shade);
    auto *text = new QLabel(QStringLiteral("以 root 身份运行：网页沙箱已关闭"), bar);
    text->setTextFormat(Qt::PlainText);
    auto *close = new QToolButton(bar);
    close->setObjectName(QStringLiteral("RootNoticeDismiss"));
    close->setText(QStringLiteral("×"));
    close->setAutoRaise(true);
    close->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(6, 1, 2, 1);
    layout->addWidget(text);
    layout->addStretch(1);
    layout->addWidget(close);
    QObject::connect(close, &QToolButton::clicked, bar, &QObject::deleteLater);
    return bar;
}

} // namespace RootNotice
