#include "pagetabs.h"

#include "../engine/embeddedwb.h"
#include "../navigation/addressbar.h"
#include "../navigation/addressbox.h"
#include "../navigation/pageopener.h"
#include "../pages/formwebbrowser.h"

#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace {

const QString kAboutBlank = QStringLiteral("about:blank");

} // namespace

PageTabs::PageTabs(TFormWebbrowser *pages, PageOpener *opener, AddressBar *addressBar, AddressBox *address,
                   const Widgets &widgets)
    : QObject(widgets.pageControl), m_pages(pages), m_opener(opener), m_addressBar(addressBar),
      m_address(address), m_widgets(widgets)
{
    connect(m_pages, &TFormWebbrowser::activePageChanged, this, &PageTabs::PageControlChange);
    m_widgets.pageControl->installEventFilter(this);
    m_widgets.pageControl->tabBar()->installEventFilter(this);
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

bool PageTabs::askCloseAll()
{
    if (confirmCloseAll)
        return confirmCloseAll();
    QMessageBox box(QMessageBox::Information, QStringLiteral("询问"), QStringLiteral("确定要关闭全部页面吗？"),
                    QMessageBox::Yes | QMessageBox::No, m_widgets.pageControl->window());
    box.setObjectName(QStringLiteral("CloseAllQuestion"));
    return box.exec() == QMessageBox::Yes;
}

void PageTabs::NAllCloseClick()
{
    if (m_pages->count() == 0)
        return;
    if (m_pages->count() == 1) {
        m_pages->ClosePage(0);
        return;
    }
    if (askCloseAll())
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
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
        return QObject::eventFilter(watched, event);
    auto *mouse = static_cast<QMouseEvent *>(event);
    QTabWidget *control = m_widgets.pageControl;
    QTabBar *bar = control->tabBar();

    if (watched == bar) {
        PageControlMouseDown(mouse, bar->tabAt(mouse->position().toPoint()));
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton)
            m_widgets.tabPopup->popup(mouse->globalPosition().toPoint());
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
            m_widgets.tabPopup->popup(mouse->globalPosition().toPoint());
        return true;
    }
    if ((besideTabs || emptyClient) && type == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
        PanelMainClientDblClick();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
