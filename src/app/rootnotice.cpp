#include "rootnotice.h"

#include "../pages/noticebar.h"

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
    auto *bar = new NoticeBar(QStringLiteral("RootNotice"), QColor(0xfd, 0xf0, 0xd5),
                              QStringLiteral("以 root 身份运行：网页沙箱已关闭"), false);
    QToolButton *close = bar->addCloseButton(QStringLiteral("RootNoticeDismiss"));
    QObject::connect(close, &QToolButton::clicked, bar, &QObject::deleteLater);
    return bar;
}

} // namespace RootNotice
