#include "tabsoundmarks.h"

#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"

#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace {

// On the right of the caption: the left holds the private mark.
constexpr QTabBar::ButtonPosition kSide = QTabBar::RightSide;

} // namespace

TabSoundMarks::TabSoundMarks(TFormWebbrowser *pages, QTabWidget *pageControl)
    : QObject(pageControl), m_pages(pages), m_pageControl(pageControl)
{
    connect(m_pages, &TFormWebbrowser::pageAudioChanged, this, &TabSoundMarks::update);
}

QToolButton *TabSoundMarks::mark(const TEmbeddedWB *page) const
{
    const int index = m_pages->indexOf(page);
    return index < 0 ? nullptr : qobject_cast<QToolButton *>(m_pageControl->tabBar()->tabButton(index, kSide));
}

void TabSoundMarks::update(TEmbeddedWB *page)
{
    const int index = m_pages->indexOf(page);
    if (index < 0)
        return;
    QTabBar *bar = m_pageControl->tabBar();
    QToolButton *button = mark(page);
    if (!page->isAudible() && !page->isMuted()) {
        if (button) {
            bar->setTabButton(index, kSide, nullptr);
            button->deleteLater();
        }
        return;
    }
    if (!button) {
        button = new QToolButton(bar);
        button->setObjectName(QStringLiteral("SoundMark"));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIconSize(QSize(16, 16));
        button->setFixedSize(20, 20);
        // The tab moves with its mark; the page is known by the browser, not by an index.
        connect(button, &QToolButton::clicked, page, [page] { page->setMuted(!page->isMuted()); });
        bar->setTabButton(index, kSide, button);
    }
    const bool muted = page->isMuted();
    button->setIcon(bar->style()->standardIcon(muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    button->setToolTip(muted ? QStringLiteral("已静音：单击取消静音") : QStringLiteral("正在播放声音：单击静音"));
    button->setAccessibleName(muted ? QStringLiteral("取消静音") : QStringLiteral("静音"));
}
