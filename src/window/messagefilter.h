#pragma once

#include <QObject>

class PopupFilter;
class QWidget;
class TEmbeddedWB;
class TFormWebbrowser;

// Sees every event of the application before its receiver does, and compares little more
// than event types for all but a few: Enter inside the active page goes to the page (no
// window shortcut takes it), left and right clicks into the page open the popup filter's
// click allowance, and the context-menu rule: the engine's menu stays off until the first
// right press inside a page, and from then on each right release inside the page decides.
// Pages closing themselves come here as well.
class MessageFilter : public QObject
{
    Q_OBJECT

public:
    MessageFilter(TFormWebbrowser *pages, QWidget *window, PopupFilter *popups);

    void setClickAllowances(int leftMs, int rightMs);
    int leftClickAllowance() const { return m_leftClickMs; }
    int rightClickAllowance() const { return m_rightClickMs; }
    bool contextMenuAllowed() const { return m_contextMenuAllowed; }
    bool rightPressSeen() const { return m_rightPressSeen; }

    // A page's own script asked to close it. The active page closes with the click
    // allowance closed before and after, so that a closing page opens no window.
    void pageAsksToClose(TEmbeddedWB *page);
    // A middle click on a link: the engine asks for the link's page in the background (a
    // private page, from a private page).
    void middleClickedLink(const QString &address, bool fromPrivatePage = false);

signals:
    // The active page closed itself: the window follows the page now active.
    void activePageClosedItself();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool insideActivePage(QObject *watched) const;

    TFormWebbrowser *m_pages;
    QWidget *m_window;
    PopupFilter *m_popups;
    int m_leftClickMs = 500;
    int m_rightClickMs = 3000;
    bool m_contextMenuAllowed = false;
    bool m_rightPressSeen = false;
};
