#include "messagefilter.h"

#include "../adblock/popupfilter.h"
#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"

#include <QKeyEvent>
#include <QMouseEvent>

MessageFilter::MessageFilter(TFormWebbrowser *pages, QWidget *window, PopupFilter *popups)
    : QObject(window), m_pages(pages), m_window(window), m_popups(popups)
{
}

void MessageFilter::setClickAllowances(int leftMs, int rightMs)
{
    m_leftClickMs = leftMs;
    m_rightClickMs = rightMs;
}

bool MessageFilter::insideActivePage(QObject *watched) const
{
    const TFormWebbrowser::PageView *active = m_pages->activePage();
    if (!active)
        return true;
    auto *widget = qobject_cast<QWidget *>(watched);
    return widget && (widget == active->browser() || active->browser()->isAncestorOf(widget));
}

void MessageFilter::pageAsksToClose(TEmbeddedWB *page)
{
    const int index = m_pages->indexOf(page);
    if (index < 0)
        return; // closed already
    if (index != m_pages->activeIndex()) {
        m_pages->ClosePage(index);
        return;
    }
    const bool filtering = m_popups->isOn();
    if (filtering)
        m_popups->closeAllowance();
    m_pages->ClosePage(index);
    if (filtering)
        m_popups->closeAllowance();
    emit activePageClosedItself();
}

void MessageFilter::middleClickedLink(const QString &address, bool fromPrivatePage)
{
    const QString trimmed = address.trimmed();
    if (!trimmed.isEmpty())
        m_pages->OpenUrlInNewPage(trimmed, fromPrivatePage);
}

bool MessageFilter::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    // Ordinary events pass after these comparisons.
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::ShortcutOverride)
        return false;
    if (m_pages->count() == 0)
        return false;

    if (type == QEvent::ShortcutOverride) {
        // Enter belongs to the page (a form submits), never to a shortcut of the window.
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && m_pages->activePage() &&
            insideActivePage(watched)) {
            event->accept();
            return true;
        }
        return false;
    }

    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (!m_window->isActiveWindow() || !insideActivePage(watched))
        return false;
    const bool press = type == QEvent::MouseButtonPress;
    switch (mouse->button()) {
    case Qt::LeftButton:
        if (press && m_popups->isOn())
            m_popups->openAllowance(m_leftClickMs);
        break;
    case Qt::RightButton:
        if (press) {
            m_rightPressSeen = true;
            m_contextMenuAllowed = true;
        } else {
            if (m_popups->isOn())
                m_popups->openAllowance(m_rightClickMs);
            const TFormWebbrowser::PageView *active = m_pages->activePage();
            m_contextMenuAllowed = !(m_rightPressSeen && active && active->address() == QLatin1String("init.htm"));
        }
        break;
    default:
        break;
    }
    return false;
}
