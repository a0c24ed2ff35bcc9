#pragma once

#include "activepagestate.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class EngineFactory;
class NewWindowRequest;
class QTabWidget;
class QWidget;
class TEmbeddedWB;

// The page collection: every page of the tab strip, in tab order, with its browser and its
// record. It creates, closes and moves pages, receives every engine event of every page
// and says with signals what the window should show and what happened; the features of
// the program listen. It knows nothing of them.
class TFormWebbrowser : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxPages = 256;
    // An index of 256 or more passed to a page operation means the active page.
    static constexpr int kActivePage = 256;
    static constexpr int kCaptionDelayMs = 100;

    // What others see of a page: read-only; only the collection changes it.
    class PageView
    {
    public:
        TEmbeddedWB *browser() const { return m_browser; }
        const QString &caption() const { return m_caption; }
        const QString &title() const { return m_title; }
        const QString &address() const { return m_address; }
        bool backEnabled() const { return m_backEnabled; }
        bool forwardEnabled() const { return m_forwardEnabled; }
        // A page opened to be loaded when it is first shown (restored pages): the address
        // it will load; empty once it has.
        const QString &waitingAddress() const { return m_waitingAddress; }

    private:
        friend class TFormWebbrowser;
        QWidget *m_sheet = nullptr;
        TEmbeddedWB *m_browser = nullptr;
        QString m_caption; // the tab's text; the strip shows it at most kCaptionDelayMs later
        QString m_title;   // at most 52 characters + "..."
        QString m_address; // what the page last reported or was told to open
        bool m_backEnabled = false;
        bool m_forwardEnabled = false;
        QString m_waitingAddress;
    };

    // The pages live in `pageControl`; `window` is the main window (painting suspension,
    // whether it is active); `emptyFocus` takes the keyboard when there is no page.
    TFormWebbrowser(QTabWidget *pageControl, QWidget *window, QWidget *emptyFocus, EngineFactory *engine);
    ~TFormWebbrowser() override;

    int count() const { return int(m_pages.size()); }
    int activeIndex() const;
    const PageView *page(int index) const;
    const PageView *activePage() const { return page(kActivePage); }
    int indexOf(const TEmbeddedWB *browser) const;
    bool isActive(const TEmbeddedWB *browser) const;
    int newPageIndex() const { return m_newPageIndex; }
    bool lastPageBlanked() const { return m_lastPageBlanked; }
    void setLastPageBlanked(bool blanked) { m_lastPageBlanked = blanked; }
    // Makes a page the active one without counting as the user's change of page; the
    // back and forward images follow it all the same.
    void activatePage(int index);

    // Each returns false and opens nothing when no page can be added (256 pages open, or
    // the engine cannot start); the reason is shown in status panel 0. A private page
    // (`isPrivate`) is kept out of every list, file and history.
    bool NewPage(quint8 mode, bool isPrivate = false);
    void OpenUrlInNewPage(const QString &address, bool isPrivate = false);
    // Whether a page is private: what it shows is written nowhere.
    static bool isPrivate(const TEmbeddedWB *browser);
    bool activePageIsPrivate() const;
    // A page at the end of the strip that shows `title` and loads `address` only when it is
    // first shown; the active page stays. False when no page could be added.
    bool openWaitingPage(const QString &title, const QString &address);
    TEmbeddedWB *NewPageDispatch();
    void ClosePage(int index);
    void MovePage(int from, int to);
    void CloseAllPages();
    void RefreshPage(int index);
    void RefreshAllPages();
    void StopAllPages();
    void FocusActiveDocument();
    void SetPageCaption(const QString &title, const TEmbeddedWB *sender);
    void ScrollToStart();
    void ScrollToEnd();

    // Puts a bar (a notice, a question) above the page, in its tab; it goes with the page.
    void addPageBar(TEmbeddedWB *browser, QWidget *bar);
    // Records the address as the page's own and opens it there.
    void navigate(const PageView *page, const QString &address);
    // Tries `secure` first and falls back to `insecure` (TEmbeddedWB::NavigateSecureFirst).
    void navigateSecureFirst(const PageView *page, const QString &secure, const QString &insecure);
    // Says what the window shows of the active page now (activePageShown) and gives it the
    // keyboard; after a change of page, and when asked.
    void announceActivePage();
    // Asked each time a page would show the engine's context menu.
    void setContextMenuPermission(std::function<bool()> allowed) { m_contextMenuAllowed = std::move(allowed); }
    // The keyboard is in a text field of the window outside the pages (the address or the
    // search box): the user may be typing there.
    bool keyboardInTextField() const;
    // The program became active again: the active page's document takes the keyboard,
    // unless the user is typing in a text field of the window.
    void focusDocumentUnlessTyping();
    // Brings the strip's captions up to date with the pages' own at once.
    void applyCaptions();
    // At exit: every page goes before the engine's profile does.
    void destroyAllPages();

signals:
    // What the window shows for the active page.
    void addressShown(const QString &address);
    void connecting(const QString &address);
    void completed(const QString &title, const QString &address);
    void statusCleared();
    void statusMessage(const QString &text);
    void historyStateShown(bool backEnabled, bool forwardEnabled);
    void activePageShown(const ActivePageState &state);
    void progressChanged(int progress, int maximum);
    void progressHidden();

    // What happened.
    void activePageChanged(); // the user chose another tab; not the collection's own changes
    // A page the user may get back closed (a private page leaves nothing to get back).
    void pageClosed(const QString &title, const QString &address);
    // Any page, active or not, began to load a document.
    void pageLoadStarted(TEmbeddedWB *page);
    void downloadCompleted(TEmbeddedWB *page);
    void documentCompleted(TEmbeddedWB *page);
    // Answer it before returning (NewWindowRequest); left unanswered, it is cancelled.
    void newWindowRequested(TEmbeddedWB *page, NewWindowRequest *request);
    // A page's own script asked to close it; the page stays until someone closes it.
    void closeRequested(TEmbeddedWB *page);
    // A frame script of the program posted this (EngineFactory::addFrameScript), in any page.
    void frameMessage(TEmbeddedWB *page, const QString &message);
    // A page tried over https first loads over http instead.
    void insecureFallback(TEmbeddedWB *page, const QString &address);
    // A page's context menu asked for its source as the server sent it.
    void sourceRequested(TEmbeddedWB *page);

private:
    using PageRecord = PageView;
    PageRecord *record(int index) const;
    PageRecord *activeRecord() const { return record(kActivePage); }
    void bindEvents(TEmbeddedWB *browser);
    void reportEngineFailure();
    void scheduleCaptions();
    void removePage(int index);
    bool keyboardInside(const TEmbeddedWB *browser) const;
    void loadIfWaiting(PageRecord *record);
    // The back and forward buttons show this page's flags (none: both greyed).
    void announceHistoryState(const PageView *page);

    void WebbrowserCommandStateChange(TEmbeddedWB *sender, int command, bool enable);
    void WebbrowserDownloadBegin(TEmbeddedWB *sender);
    void WebbrowserDownloadComplete(TEmbeddedWB *sender);
    void WebBrowserDocumentComplete(TEmbeddedWB *sender);
    void WebBrowserNavigateComplete2(TEmbeddedWB *sender);
    void WebbrowserProgressChange(TEmbeddedWB *sender, int progress, int progressMax);
    bool WebbrowserShowContextMenu() const;
    void WebbrowserDownloadOnly(TEmbeddedWB *sender);

    QTabWidget *m_pageControl;
    QWidget *m_window;
    QWidget *m_emptyFocus;
    EngineFactory *m_engine;
    std::vector<std::unique_ptr<PageRecord>> m_pages;
    int m_newPageIndex = 0;
    bool m_lastPageBlanked = false;
    int m_changingPages = 0; // the collection's own changes of the strip, not the user's
    bool m_moving = false;
    bool m_engineFailureReported = false;
    std::function<bool()> m_contextMenuAllowed;
    QTimer m_captionTimer;
};
