#pragma once

#include <QObject>

#include <functional>

class QTabBar;

class AddressBar;
class AddressBox;
class PageOpener;
class QAction;
class QMenu;
class QPoint;
class QMouseEvent;
class QTabWidget;
class TFormWebbrowser;

// The tab strip as the user works it: the commands that open, close and switch pages, the
// strip's mouse, double-click on the empty client area, and the refresh of the window
// after the active page changes.
class PageTabs : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QTabWidget *pageControl;
        QWidget *clientArea; // PanelMainClient
        QMenu *tabPopup;     // PopupMenuPcl
        // The popup's items that act on the right-clicked tab; pin and mute say what they do.
        QAction *duplicateItem = nullptr;
        QAction *pinItem = nullptr;
        QAction *muteItem = nullptr;
        QAction *closeOthersItem = nullptr;
        QAction *closeRightItem = nullptr;
    };

    PageTabs(TFormWebbrowser *pages, PageOpener *opener, AddressBar *addressBar, AddressBox *address,
             const Widgets &widgets);

    // Opens an activated blank page with the address box ready; false when none could open.
    bool NAddNewBlankClick();
    void NAddNewHomePageClick();
    void NCopyCurrentPageClick();
    void NCloseCurrentClick();
    void NAllCloseClick();
    void NPreviousPageClick();
    void NNextPageClick();
    void NStopClick();
    void NRefreshClick();
    void NAllStopClick();
    void NAllRefreshClick();
    void PopupMenuCloseCurrentClick();
    void NRRefreshClick();
    // The tab popup's own: on the right-clicked tab.
    void NDuplicatePageClick();
    void NPinPageClick();
    void NMutePageClick();
    // Pinned pages stay.
    void NCloseOtherPagesClick();
    void NCloseRightPagesClick();
    void PanelMainClientDblClick();
    // A link dropped on the strip (at `position` of the tab bar) opens in a new page there,
    // in front; true when it was an address a page may open.
    bool dropOnStrip(const QString &text, const QPoint &position);

    void PageControlChange();
    void PageChangeRefresh();

    // The tab under the pointer at the last right press; -1 beside the tabs.
    int rightClickedTab() const { return m_rightClickedTab; }
    // The answer of the close-all question; tests replace the dialog.
    std::function<bool()> confirmCloseAll;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void PageControlMouseDown(QMouseEvent *event, int tab);
    bool askCloseAll(const QString &question);
    // The popup's items as they apply to the right-clicked tab.
    void prepareTabPopup();
    void showTabPopup(const QPoint &globalPosition);

    TFormWebbrowser *m_pages;
    PageOpener *m_opener;
    AddressBar *m_addressBar;
    AddressBox *m_address;
    Widgets m_widgets;
    // Kept apart from the page control: the filter is still called while the control is
    // being destroyed, when asking it for its bar is no longer allowed.
    QTabBar *m_tabBar = nullptr;
    int m_rightClickedTab = -1;
};
