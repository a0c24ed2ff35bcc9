#include "pagetabs.h"

#include "../engine/embeddedwb.h"
#include "../navigation/addressbar.h"
#include "../navigation/addressbox.h"
#include "../navigation/addressnormalizer.h"
#include "../navigation/pageopener.h"
#include "../pages/formwebbrowser.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace {

const QString kAboutBlank = QStringLiteral("about:blank");

// What a drop on the strip carries: a link's address, else its text.
QString droppedText(const QMimeData *data)
{
    if (data->hasUrls() && !data->urls().isEmpty())
        return data->urls().first().toString();
    return data->hasText() ? data->text().trimmed() : QString();
}

// Only what a page may be opened at: a script or data in a link dropped from a page runs nowhere.
std::optional<QString> openableAddress(const QString &text)
{
    const std::optional<QString> address = AddressNormalizer::droppedAddress(text);
    if (!address)
        return std::nullopt;
    const QString scheme = QUrl(*address).scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("ftp") &&
        scheme != QLatin1String("file"))
        return std::nullopt;
    return address;
}

} // namespace

PageTabs::PageTabs(TFormWebbrowser *pages, PageOpener *opener, AddressBar *addressBar, AddressBox *address,
                   const Widgets &widgets)
    : QObject(widgets.pageControl), m_pages(pages), m_opener(opener), m_addressBar(addressBar),
      m_address(address), m_widgets(widgets), m_tabBar(widgets.pageControl->tabBar())
{
    connect(m_pages, &TFormWebbrowser::activePageChanged, this, &PageTabs::PageControlChange);
    m_widgets.pageControl->installEventFilter(this);
    m_widgets.pageControl->tabBar()->installEventFilter(this);
    m_widgets.pageControl->tabBar()->setAcceptDrops(true);
    m_widgets.clientArea->installEventFilter(this);
}

bool PageTabs::NAddNewBlankClick()
{
    return m_opener->openBlankPage();
}

void PageTabs::NAddNewHomePageClick()
{
    if (NAddNewBlankClick())
        m_addressBar->GoHome();
}

void PageTabs::NCopyCurrentPageClick()
{
    const QString text = m_address->text().trimmed();
    if (!text.isEmpty() && text != kAboutBlank)
        m_addressBar->Go();
    else
        NAddNewBlankClick();
}

void PageTabs::NCloseCurrentClick()
{
    m_pages->ClosePage(TFormWebbrowser::kActivePage);
    PageChangeRefresh();
}

bool PageTabs::askCloseAll(const QString &question)
{
    if (confirmCloseAll)
        return confirmCloseAll();
    QMessageBox box(QMessageBox::Information, QStringLiteral("询问"), question, QMessageBox::Yes | QMessageBox::No,
                    m_widgets.pageControl->window());
    box.setObjectName(QStringLiteral("CloseAllQuestion"));
    return box.exec() == QMessageBox::Yes;
}

void PageTabs::NAllCloseClick()
{
    if (m_pages->count() == 0)
        return;
    // Pinned pages stay: the question says so, and with only pinned pages there is nothing to close.
    const int pinned = m_pages->pinnedCount();
    if (pinned > 0) {
        if (pinned < m_pages->count() &&
            askCloseAll(QStringLiteral("确定要关闭全部页面吗？固定的 %1 个页面将保留。").arg(pinned)))
            m_pages->closeUnpinnedPages();
        else
            m_pages->FocusActiveDocument();
        return;
    }
    if (m_pages->count() == 1) {
        m_pages->ClosePage(0);
        return;
    }
    if (askCloseAll(QStringLiteral("确定要关闭全部页面吗？")))
        m_pages->CloseAllPages();
    else
        m_pages->FocusActiveDocument();
}

void PageTabs::NPreviousPageClick()
{
    const int index = m_pages->activeIndex();
    if (index > 1)
        m_pages->activatePage(index - 1);
    else if (index == 1)
        m_pages->activatePage(0);
    PageChangeRefresh();
    m_pages->FocusActiveDocument();
}

void PageTabs::NNextPageClick()
{
    const int index = m_pages->activeIndex();
    if (index == 0 && m_pages->count() >= 2)
        m_pages->activatePage(1);
    else if (index >= 0 && m_pages->count() - index > 1)
        m_pages->activatePage(index + 1);
    PageChangeRefresh();
    m_pages->FocusActiveDocument();
}

void PageTabs::NStopClick()
{
    if (const TFormWebbrowser::PageView *active = m_pages->activePage(); active && active->browser()->Document())
        active->browser()->Stop();
}

void PageTabs::NRefreshClick()
{
    if (const TFormWebbrowser::PageView *active = m_pages->activePage(); active && active->browser()->Document())
        active->browser()->Refresh();
}

void PageTabs::NAllStopClick()
{
    m_pages->StopAllPages();
}

void PageTabs::NAllRefreshClick()
{
    m_pages->RefreshAllPages();
}

void PageTabs::PopupMenuCloseCurrentClick()
{
    if (m_rightClickedTab >= 0) {
        m_pages->ClosePage(m_rightClickedTab);
        PageChangeRefresh();
    }
}

void PageTabs::NRRefreshClick()
{
    if (m_rightClickedTab >= 0)
        m_pages->RefreshPage(m_rightClickedTab);
}

void PageTabs::NDuplicatePageClick()
{
    if (m_rightClickedTab >= 0)
        m_pages->duplicatePage(m_rightClickedTab);
}

void PageTabs::NPinPageClick()
{
    if (const TFormWebbrowser::PageView *page = m_pages->page(m_rightClickedTab); page && m_rightClickedTab >= 0)
        m_pages->setPinned(m_rightClickedTab, !page->pinned());
}

void PageTabs::NMutePageClick()
{
    if (const TFormWebbrowser::PageView *page = m_pages->page(m_rightClickedTab); page && m_rightClickedTab >= 0)
        page->browser()->setMuted(!page->browser()->isMuted());
}

void PageTabs::NCloseOtherPagesClick()
{
    const TFormWebbrowser::PageView *keep = m_rightClickedTab >= 0 ? m_pages->page(m_rightClickedTab) : nullptr;
    if (!keep)
        return;
    const TEmbeddedWB *kept = keep->browser();
    for (int i = m_pages->count() - 1; i >= 0; --i)
        if (m_pages->page(i)->browser() != kept && !m_pages->page(i)->pinned())
            m_pages->ClosePage(i);
    m_pages->activatePage(m_pages->indexOf(kept));
    PageChangeRefresh();
}

void PageTabs::NCloseRightPagesClick()
{
    const TFormWebbrowser::PageView *edge = m_rightClickedTab >= 0 ? m_pages->page(m_rightClickedTab) : nullptr;
    if (!edge)
        return;
    const TEmbeddedWB *kept = edge->browser();
    const TEmbeddedWB *front = m_pages->activePage()->browser();
    for (int i = m_pages->count() - 1; i > m_pages->indexOf(kept); --i)
        if (!m_pages->page(i)->pinned())
            m_pages->ClosePage(i);
    // The page in front went: the one the user pointed at comes forward.
    if (m_pages->indexOf(front) < 0)
        m_pages->activatePage(m_pages->indexOf(kept));
    PageChangeRefresh();
}

void PageTabs::prepareTabPopup()
{
    const TFormWebbrowser::PageView *page = m_rightClickedTab >= 0 ? m_pages->page(m_rightClickedTab) : nullptr;
    for (QAction *item : {m_widgets.duplicateItem, m_widgets.pinItem, m_widgets.muteItem, m_widgets.closeOthersItem,
                          m_widgets.closeRightItem})
        if (item)
            item->setEnabled(page != nullptr);
    if (m_widgets.pinItem)
        m_widgets.pinItem->setText(page && page->pinned() ? QStringLiteral("取消固定") : QStringLiteral("固定"));
    if (m_widgets.muteItem)
        m_widgets.muteItem->setText(page && page->browser()->isMuted() ? QStringLiteral("取消静音") : QStringLiteral("静音"));
    if (m_widgets.closeRightItem)
        m_widgets.closeRightItem->setEnabled(page && m_rightClickedTab < m_pages->count() - 1);
}

void PageTabs::showTabPopup(const QPoint &globalPosition)
{
    prepareTabPopup();
    m_widgets.tabPopup->popup(globalPosition);
}

bool PageTabs::dropOnStrip(const QString &text, const QPoint &position)
{
    const std::optional<QString> address = openableAddress(text);
    if (!address)
        return false;
    const TFormWebbrowser::PageView *under = m_pages->page(m_widgets.pageControl->tabBar()->tabAt(position));
    const TEmbeddedWB *anchor = under ? under->browser() : nullptr;
    if (!m_pages->NewPage(2))
        return true;
    // Beside the tab it was dropped on, or last beside the tabs; never among the pinned ones.
    // Counted as the strip stands once the new page has left the place it was given.
    const int from = m_pages->newPageIndex();
    const int anchorAt = m_pages->indexOf(anchor);
    const int at = qMax(anchor ? anchorAt + (from < anchorAt ? 0 : 1) : m_pages->count() - 1, m_pages->pinnedCount());
    m_pages->MovePage(from, at);
    const TFormWebbrowser::PageView *page = m_pages->page(at);
    m_pages->navigate(page, *address);
    m_pages->activatePage(at);
    PageChangeRefresh();
    return true;
}

void PageTabs::PanelMainClientDblClick()
{
    if (m_pages->count() != 1 && m_pages->count() > 0 &&
        m_pages->page(m_pages->count() - 1)->caption() == QStringLiteral("  空白页  ")) {
        m_pages->ClosePage(m_pages->count() - 1);
        return;
    }
    NAddNewBlankClick();
}

void PageTabs::PageControlChange()
{
    PageChangeRefresh();
}

void PageTabs::PageChangeRefresh()
{
    m_pages->announceActivePage();
}

void PageTabs::PageControlMouseDown(QMouseEvent *event, int tab)
{
    if (event->type() == QEvent::MouseButtonDblClick && event->button() == Qt::LeftButton) {
        if (tab >= 0)
            m_pages->ClosePage(tab);
    } else if (event->type() == QEvent::MouseButtonPress) {
        if (event->button() == Qt::RightButton)
            m_rightClickedTab = tab;
        else if (event->button() == Qt::MiddleButton && tab > 0)
            m_pages->ClosePage(tab);
    }
    // After the strip has handled the press (and changed the page), the window follows.
    QTimer::singleShot(0, this, &PageTabs::PageChangeRefresh);
}

bool PageTabs::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::DragEnter || type == QEvent::DragMove) && watched == m_tabBar) {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        // What is not an address goes on to the window, which searches for dropped text.
        if (openableAddress(droppedText(drag->mimeData())))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    if (type == QEvent::Drop && watched == m_tabBar) {
        auto *drop = static_cast<QDropEvent *>(event);
        if (dropOnStrip(droppedText(drop->mimeData()), drop->position().toPoint()))
            drop->acceptProposedAction();
        else
            drop->ignore();
        return true;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
        return QObject::eventFilter(watched, event);
    auto *mouse = static_cast<QMouseEvent *>(event);
    QTabWidget *control = m_widgets.pageControl;
    QTabBar *bar = m_tabBar;

    if (watched == bar) {
        PageControlMouseDown(mouse, bar->tabAt(mouse->position().toPoint()));
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton)
            showTabPopup(mouse->globalPosition().toPoint());
        // Only a left press is the strip's own (it selects the tab); the others are handled
        // here and must not reach the page control as presses beside the tabs.
        return mouse->button() != Qt::LeftButton || type == QEvent::MouseButtonDblClick;
    }

    // The strip's empty space beside the tabs, and the client area with no page.
    const QPoint position = mouse->position().toPoint();
    const bool besideTabs = watched == control && position.y() < bar->geometry().bottom() &&
                            !bar->geometry().contains(position);
    const bool emptyClient = watched == m_widgets.clientArea || (watched == control && control->count() == 0);
    if (besideTabs && type == QEvent::MouseButtonPress) {
        PageControlMouseDown(mouse, -1);
        if (mouse->button() == Qt::RightButton)
            showTabPopup(mouse->globalPosition().toPoint());
        return true;
    }
    if ((besideTabs || emptyClient) && type == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
        PanelMainClientDblClick();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
