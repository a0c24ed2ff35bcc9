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
    if (!m_pages->NewPage(0, isPrivate))
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
    if (!openBlankPage(TFormWebbrowser::isPrivate(active->browser())))
        return nullptr;
    return m_pages->page(m_pages->newPageIndex());
}
