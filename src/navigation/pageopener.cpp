#include "pageopener.h"

#include "../engine/embeddedwb.h"
#include "../statusbar/statusline.h"
#include "addressbox.h"

PageOpener::PageOpener(TFormWebbrowser *pages, AddressBox *address, StatusLine *status)
    : m_pages(pages), m_address(address), m_status(status)
{
}

bool PageOpener::openBlankPage(bool isPrivate)
{
    return openPage(isPrivate, 0);
}

bool PageOpener::openPageForAddress()
{
    return openPage(false, 2);
}

bool PageOpener::openPage(bool isPrivate, quint8 mode)
{
    if (!m_pages->NewPage(mode, isPrivate))
        return false;
    m_pages->activatePage(m_pages->newPageIndex());
    m_address->show(QStringLiteral("about:blank"));
    m_status->clear();
    m_address->focus();
    return true;
}

const TFormWebbrowser::PageView *PageOpener::targetPage(bool busyCounts)
{
    const TFormWebbrowser::PageView *active = m_pages->activePage();
    if (!active)
        return nullptr;
    const QString location = active->browser()->LocationURL().trimmed();
    const bool showsSomething = !location.isEmpty() && location != QLatin1String("about:blank");
    if (!showsSomething && !(busyCounts && active->browser()->Busy()))
        return active;
    // Mode 2: a blank document loaded only to be replaced costs each new page a navigation
    // (and, for a forwarded address, a renderer that is thrown away).
    if (!openPage(TFormWebbrowser::isPrivate(active->browser()), 2))
        return nullptr;
    return m_pages->page(m_pages->newPageIndex());
}
