#include "popupfilter.h"

#include "../core/configstore.h"
#include "../core/runprocess.h"
#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"
#include "adscrubber.h"
#include "popupnotice.h"

#include <QAction>
#include <QDateTime>

PopupFilter::PopupFilter(TFormWebbrowser *pages, ConfigStore *config, QAction *item, AdScrubber *scrubber)
    : QObject(pages), m_pages(pages), m_config(config), m_item(item), m_scrubber(scrubber)
{
    // A notice lasts until its page loads another document.
    connect(m_pages, &TFormWebbrowser::pageLoadStarted, this, [this](TEmbeddedWB *page) {
        if (PopupNoticeBar *notice = m_notices.take(page))
            notice->deleteLater();
        if (m_floods.remove(page))
            page->setScriptWindowsAllowed(true);
    });
}

void PopupFilter::applyAtStartup(bool on)
{
    m_on = on;
    m_item->setChecked(on);
}

void PopupFilter::NStopPopupClick()
{
    // The item has already flipped its check mark when triggered.
    m_on = m_item->isChecked();
    m_config->writeString(kRunData, QStringLiteral("StopPopup"), m_on ? QStringLiteral("1") : QStringLiteral("0"));
    const TFormWebbrowser::PageView *active = m_pages->activePage();
    if (!active)
        return;
    if (m_on) {
        if (active->browser()->Document())
            m_scrubber->ScrubDocument(active->browser());
    } else {
        active->browser()->Refresh();
    }
}

void PopupFilter::openAllowance(int ms)
{
    RunProcess::startAllowance(m_allowance, ms);
}

void PopupFilter::closeAllowance()
{
    m_allowance->store(false);
}

void PopupFilter::WebbrowserNewWindow2(TEmbeddedWB *sender, NewWindowRequest *request)
{
    if (m_on) {
        if (!m_pages->isActive(sender) || !m_allowance->load()) {
            blocked(sender, request->requestedUrl());
            return; // unanswered: cancelled
        }
    }
    // A private page's windows are private pages too.
    if (m_pages->NewPage(2, TFormWebbrowser::isPrivate(sender))) {
        if (TEmbeddedWB *target = m_pages->NewPageDispatch())
            request->openIn(target);
    }
    // One allowance lets one window through.
    if (m_on)
        closeAllowance();
}

void PopupFilter::blocked(TEmbeddedWB *page, const QString &address)
{
    if (m_pages->indexOf(page) < 0)
        return;
    Flood &flood = m_floods[page];
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - flood.since > kFloodWindowMs)
        flood = {now, 0};
    if (++flood.count == kFloodCount)
        page->setScriptWindowsAllowed(false);
    PopupNoticeBar *notice = m_notices.value(page);
    if (!notice) {
        notice = new PopupNoticeBar;
        m_notices.insert(page, notice);
        connect(notice, &PopupNoticeBar::openRequested, this, [this, fromPrivate = page->isPrivate()](const QString &url) {
            // As an allowed request would: a page in the background.
            if (!url.trimmed().isEmpty())
                m_pages->OpenUrlInNewPage(url, fromPrivate);
        });
        connect(notice, &QObject::destroyed, this, [this, page] {
            // A newer notice of the same page stays.
            if (auto it = m_notices.find(page); it != m_notices.end() && it->isNull())
                m_notices.erase(it);
        });
        m_pages->addPageBar(page, notice);
    }
    notice->blocked(address);
}
