#include "enginenotice.h"

#include "../engine/engineage.h"
#include "../pages/noticebar.h"

#include <QLabel>
#include <QToolButton>

namespace EngineNotice {

bool due(const QDate &lastShown, const QDate &today)
{
    // A date ahead of today (a clock put back) does not silence it for good.
    return !lastShown.isValid() || lastShown > today || lastShown.daysTo(today) >= kEveryDays;
}

QWidget *make(const EngineVersions &versions, bool enhancedSecurity, std::function<void()> showSetting)
{
    int major = EngineAge::majorOf(versions.securityPatch);
    if (!major)
        major = EngineAge::majorOf(versions.chromium);
    // Said as it is: the user may have turned the mode off.
    const QString text = QStringLiteral("网页引擎的安全更新停在 %1（Chromium %2）。%3")
                             .arg(EngineAge::estimatedReleaseDate(major).toString(QStringLiteral("yyyy-MM")))
                             .arg(major)
                             .arg(enhancedSecurity ? QStringLiteral("已开启增强安全模式。")
                                                   : QStringLiteral("增强安全模式已关闭。"));
    auto *bar = new NoticeBar(QStringLiteral("EngineNotice"), QColor(0xfd, 0xf0, 0xd5), text, false);
    QToolButton *setting = bar->addButton(QStringLiteral("EngineNoticeSetting"), QStringLiteral("增强安全模式设置"));
    QObject::connect(setting, &QToolButton::clicked, bar, std::move(showSetting));
    QToolButton *close = bar->addCloseButton(QStringLiteral("EngineNoticeDismiss"));
    QObject::connect(close, &QToolButton::clicked, bar, &QObject::deleteLater);
    return bar;
}

} // namespace EngineNotice
