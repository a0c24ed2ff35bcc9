#include "messagefilter.h"

#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"

#include <QMouseEvent>

MessageFilter::MessageFilter(TFormWebbrowser *pages, QWidget *window)
    : QObject(window), m_pages(pages), m_window(window)
{
}

bool MessageFilter::insideActivePage(QObject *watched) const
{
    const TFormWebbrowser::PageRecord *active = m_pages->activePage();
    if (!active)
        return true;
    auto *widget = qobject_cast<QWidget *>(watched);
    return widget && (widget == active->browser || active->browser->isAncestorOf(widget));
}

bool MessageFilter::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    // Ordinary events pass after one comparison.
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return false;
    if (m_pages->count() == 0)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::RightButton || !m_window->isActiveWindow() || !insideActivePage(watched))
        return false;

    if (type == QEvent::MouseButtonPress) {
        m_rightPressSeen = true;
        m_contextMenuAllowed = true;
    } else {
        const TFormWebbrowser::PageRecord *active = m_pages->activePage();
        m_contextMenuAllowed = !(m_rightPressSeen && active && active->address == QLatin1String("init.htm"));
    }
    return false;
}
