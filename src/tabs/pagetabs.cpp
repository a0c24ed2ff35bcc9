#include "pagetabs.h"

#include "../app/mainform.h"
#include "../engine/embeddedwb.h"
#include "../navigation/addressbar.h"
#include "../pages/formwebbrowser.h"
#include "../pages/pagecaption.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace {

const QString kAboutBlank = QStringLiteral("about:blank");

bool isBlankText(const QString &text)
{
    return text.isEmpty() || text == kAboutBlank;
}

} // namespace

PageTabs::PageTabs(TQORMainForm *mainForm) : QObject(mainForm), m_main(mainForm)
{
    auto on = [this](const char *item, void (PageTabs::*handler)()) {
        connect(m_main->menuItem(item), &QAction::triggered, this, handler);
    };
    connect(m_main->menuItem("NAddNewBlank"), &QAction::triggered, this, [this] { NAddNewBlankClick(); });
    on("NAddNewHomePage", &PageTabs::NAddNewHomePageClick);
    on("NCopyCurrentPage", &PageTabs::NCopyCurrentPageClick);
    on("NCloseCurrent", &PageTabs::NCloseCurrentClick);
    on("NAllClose", &PageTabs::NAllCloseClick);
    on("NPreviousPage", &PageTabs::NPreviousPageClick);
    on("NNextPage", &PageTabs::NNextPageClick);
    on("NStop", &PageTabs::NStopClick);
    on("NRefresh", &PageTabs::NRefreshClick);
    on("NAllStop", &PageTabs::NAllStopClick);
    on("NAllRefresh", &PageTabs::NAllRefreshClick);
    on("PopupMenuCloseCurrent", &PageTabs::PopupMenuCloseCurrentClick);
    on("NRRefresh", &PageTabs::NRRefreshClick);

    connect(m_main->SBAddNew, &QToolButton::clicked, this, [this] { NAddNewBlankClick(); });
    connect(m_main->SBCloseCurrentPage, &QToolButton::clicked, this, &PageTabs::NCloseCurrentClick);
    connect(m_main->SBStop, &QToolButton::clicked, this, &PageTabs::NStopClick);
    connect(m_main->SBRefresh, &QToolButton::clicked, this, &PageTabs::NRefreshClick);

    QTabWidget *control = m_main->PageControl;
    connect(control, &QTabWidget::currentChanged, this, [this] {
        if (m_main->pages() && !m_main->pages()->changingPages())
            PageControlChange();
    });
    control->installEventFilter(this);
    control->tabBar()->installEventFilter(this);
    m_main->PanelMainClient->installEventFilter(this);
}

bool PageTabs::NAddNewBlankClick()
{
    try {
        TFormWebbrowser *pages = m_main->pages();
        if (!pages->NewPage(0))
            return false;
        pages->activatePage(pages->newPageIndex());
        m_main->CBURL->setEditText(kAboutBlank);
        m_main->setStatusText(0, QString());
        m_main->addressBar()->focusAddress();
        return true;
    } catch (...) {
        return false;
    }
}

void PageTabs::NAddNewHomePageClick()
{
    try {
        if (NAddNewBlankClick())
            m_main->addressBar()->GoHome();
    } catch (...) {
    }
}

void PageTabs::NCopyCurrentPageClick()
{
    try {
        const QString text = m_main->CBURL->currentText().trimmed();
        if (!text.isEmpty() && text != kAboutBlank)
            m_main->addressBar()->Go();
        else
            NAddNewBlankClick();
    } catch (...) {
    }
}

void PageTabs::NCloseCurrentClick()
{
    try {
        m_main->pages()->ClosePage(TFormWebbrowser::kActivePage);
        PageChangeRefresh();
    } catch (...) {
    }
}

bool PageTabs::askCloseAll()
{
    if (confirmCloseAll)
        return confirmCloseAll();
    QMessageBox box(QMessageBox::Information, QStringLiteral("询问"),
                    QStringLiteral("确定要关闭全部页面吗？"), QMessageBox::Yes | QMessageBox::No, m_main);
    box.setObjectName(QStringLiteral("CloseAllQuestion"));
    return box.exec() == QMessageBox::Yes;
}

void PageTabs::NAllCloseClick()
{
    try {
        TFormWebbrowser *pages = m_main->pages();
        if (pages->count() == 0)
            return;
        if (pages->count() == 1) {
            pages->ClosePage(0);
            return;
        }
        if (askCloseAll())
            pages->CloseAllPages();
        else
            pages->FocusActiveDocument();
    } catch (...) {
    }
}

void PageTabs::NPreviousPageClick()
{
    try {
        TFormWebbrowser *pages = m_main->pages();
        const int index = pages->activeIndex();
        if (index > 1)
            pages->activatePage(index - 1);
        else if (index == 1)
            pages->activatePage(0);
        PageChangeRefresh();
        pages->FocusActiveDocument();
    } catch (...) {
    }
}

void PageTabs::NNextPageClick()
{
    try {
        TFormWebbrowser *pages = m_main->pages();
        const int index = pages->activeIndex();
        if (index == 0 && pages->count() >= 2)
            pages->activatePage(1);
        else if (index >= 0 && pages->count() - index > 1)
            pages->activatePage(index + 1);
        PageChangeRefresh();
        pages->FocusActiveDocument();
    } catch (...) {
    }
}

void PageTabs::NStopClick()
{
    try {
        if (TFormWebbrowser::PageRecord *active = m_main->pages()->activePage(); active && active->browser->Document())
            active->browser->Stop();
    } catch (...) {
    }
}

void PageTabs::NRefreshClick()
{
    try {
        if (TFormWebbrowser::PageRecord *active = m_main->pages()->activePage(); active && active->browser->Document())
            active->browser->Refresh();
    } catch (...) {
    }
}

void PageTabs::NAllStopClick()
{
    m_main->pages()->StopAllPages();
}

void PageTabs::NAllRefreshClick()
{
    m_main->pages()->RefreshAllPages();
}

void PageTabs::PopupMenuCloseCurrentClick()
{
    try {
        if (m_rightClickedTab >= 0) {
            m_main->pages()->ClosePage(m_rightClickedTab);
            PageChangeRefresh();
        }
    } catch (...) {
    }
}

void PageTabs::NRRefreshClick()
{
    try {
        if (m_rightClickedTab >= 0)
            m_main->pages()->RefreshPage(m_rightClickedTab);
    } catch (...) {
    }
}

void PageTabs::PanelMainClientDblClick()
{
    try {
        TFormWebbrowser *pages = m_main->pages();
        if (pages->count() != 1 && pages->count() > 0 &&
            pages->page(pages->count() - 1)->caption == QStringLiteral("  空白页  ")) {
            pages->ClosePage(pages->count() - 1);
            return;
        }
        NAddNewBlankClick();
    } catch (...) {
    }
}

void PageTabs::PageControlChange()
{
    PageChangeRefresh();
}

void PageTabs::PageChangeRefresh()
{
    TFormWebbrowser *pages = m_main->pages();
    TFormWebbrowser::PageRecord *record = nullptr;
    try {
        record = pages->activePage();
        if (!record) {
            pages->FocusActiveDocument();
        } else {
            TEmbeddedWB *browser = record->browser;
            QString title = record->title.trimmed();
            if (isBlankText(title))
                title = browser->LocationName().trimmed();
            QString address = record->address.trimmed();
            if (isBlankText(address))
                address = browser->LocationURL().trimmed();
            if (!isBlankText(address)) {
                m_main->CBURL->setEditText(address);
                if (browser->Busy()) {
                    m_main->setStatusText(0, QStringLiteral(">>正在连接地址:<") + address + QLatin1Char('>'));
                } else {
                    m_main->setStatusText(0, QStringLiteral(">>") + title + QLatin1Char('<') + address + QLatin1Char('>'));
                    if (!m_main->TimerClearAd->isActive())
                        m_main->TimerClearAd->start();
                }
                pages->FocusActiveDocument();
            } else {
                m_main->CBURL->setEditText(kAboutBlank);
                m_main->setStatusText(0, QString());
                if (!browser->Busy())
                    m_main->addressBar()->focusAddress();
            }
        }
    } catch (...) {
    }

    // Whatever happened above: text size marks, history buttons, progress display.
    try {
        if (!record && pages->count() > 0)
            record = pages->page(0);
        QVariant level(0);
        if (record && record->browser->Document() && record->address != QLatin1String("init.htm")) {
            QVariant answer;
            record->browser->ExecWB(TEmbeddedWB::ExecZoom, TEmbeddedWB::OptionDontPromptUser, QVariant(), &answer);
            if (answer.isValid())
                level = answer;
        }
        static const char *const items[] = {"NSmallest", "NSmall", "NMiddle", "NLarger", "NLargest"};
        const int index = level.toInt();
        if (index >= 0 && index <= 4)
            m_main->menuItem(items[index])->setChecked(true);
        pages->showHistoryImages(record);
        pages->resetProgressBar();
    } catch (...) {
    }
}

void PageTabs::PageControlMouseDown(QMouseEvent *event, int tab)
{
    try {
        TFormWebbrowser *pages = m_main->pages();
        if (event->type() == QEvent::MouseButtonDblClick && event->button() == Qt::LeftButton) {
            if (tab >= 0)
                pages->ClosePage(tab);
        } else if (event->type() == QEvent::MouseButtonPress) {
            if (event->button() == Qt::RightButton)
                m_rightClickedTab = tab;
            else if (event->button() == Qt::MiddleButton && tab > 0)
                pages->ClosePage(tab);
        }
    } catch (...) {
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
    QTabWidget *control = m_main->PageControl;
    QTabBar *bar = control->tabBar();

    if (watched == bar) {
        PageControlMouseDown(mouse, bar->tabAt(mouse->position().toPoint()));
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton)
            m_main->PopupMenuPcl->popup(mouse->globalPosition().toPoint());
        // Only a left press is the strip's own (it selects the tab); the others are handled
        // here and must not reach the page control as presses beside the tabs.
        return mouse->button() != Qt::LeftButton || type == QEvent::MouseButtonDblClick;
    }

    // The strip's empty space beside the tabs, and the client area with no page.
    const QPoint position = mouse->position().toPoint();
    const bool besideTabs = watched == control && position.y() < bar->geometry().bottom() &&
                            !bar->geometry().contains(position);
    const bool emptyClient = watched == m_main->PanelMainClient || (watched == control && control->count() == 0);
    if (besideTabs && type == QEvent::MouseButtonPress) {
        PageControlMouseDown(mouse, -1);
        if (mouse->button() == Qt::RightButton)
            m_main->PopupMenuPcl->popup(mouse->globalPosition().toPoint());
        return true;
    }
    if ((besideTabs || emptyClient) && type == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
        PanelMainClientDblClick();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
