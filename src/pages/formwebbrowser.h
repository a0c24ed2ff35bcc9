#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class EngineFactory;
class NewWindowRequest;
class QProgressBar;
class QWidget;
class TEmbeddedWB;
class TQORMainForm;

// The page collection: every page of the tab strip, in tab order, with its browser and its
// record. It creates, closes and moves pages, receives every engine event of every page
// and turns it into what the main window shows.
class TFormWebbrowser : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxPages = 256;
    // An index of 256 or more passed to a page operation means the active page.
    static constexpr int kActivePage = 256;
    static constexpr int kCaptionDelayMs = 100;

    struct PageRecord
    {
        QWidget *sheet = nullptr;
        TEmbeddedWB *browser = nullptr;
        QString caption; // the tab's text; the strip shows it at most kCaptionDelayMs later
        QString title;   // at most 52 characters + "..."
        QString address; // what the page last reported or was told to open
        bool backEnabled = false;
        bool forwardEnabled = false;
    };

    TFormWebbrowser(TQORMainForm *mainForm, EngineFactory *engine);
    ~TFormWebbrowser() override;

    int count() const { return int(m_pages.size()); }
    int activeIndex() const;
    PageRecord *page(int index) const;
    PageRecord *activePage() const { return page(kActivePage); }
    int indexOf(const TEmbeddedWB *browser) const;
    int newPageIndex() const { return m_newPageIndex; }
    bool lastPageBlanked() const { return m_lastPageBlanked; }
    void setLastPageBlanked(bool blanked) { m_lastPageBlanked = blanked; }
    // Makes a page the active one without counting as the user's change of page.
    void activatePage(int index);
    // True while the collection itself changes the tab strip.
    bool changingPages() const { return m_changingPages > 0; }

    // Each returns false and opens nothing when no page can be added (256 pages open, or
    // the engine cannot start); the reason is shown in status panel 0.
    bool NewPage(quint8 mode);
    void OpenUrlInNewPage(const QString &address);
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

    // The back and forward buttons show the enabled or greyed images of a page's flags.
    void showHistoryImages(const PageRecord *record);
    QProgressBar *progressBar() const { return m_progressBar; }
    // Brings the strip's captions up to date with the pages' own at once.
    void applyCaptions();
    void resetProgressBar();
    // At exit: every page goes before the engine's profile does.
    void destroyAllPages();

private:
    void bindEvents(TEmbeddedWB *browser);
    void reportEngineFailure();
    void scheduleCaptions();
    void removePage(int index);
    bool isActive(const TEmbeddedWB *browser) const;
    bool keyboardInside(const TEmbeddedWB *browser) const;
    bool userIsTyping() const;

    void WebbrowserCommandStateChange(TEmbeddedWB *sender, int command, bool enable);
    void WebbrowserDownloadBegin(TEmbeddedWB *sender);
    void WebbrowserDownloadComplete(TEmbeddedWB *sender);
    void WebBrowserDocumentComplete(TEmbeddedWB *sender);
    void WebBrowserNavigateComplete2(TEmbeddedWB *sender);
    void WebbrowserNewWindow2(TEmbeddedWB *sender, NewWindowRequest *request);
    void WebbrowserProgressChange(TEmbeddedWB *sender, int progress, int progressMax);
    void WebbrowserTitleChange(TEmbeddedWB *sender, const QString &text);
    bool WebbrowserShowContextMenu() const;
    void WebbrowserCloseQuery(TEmbeddedWB *sender);

    TQORMainForm *m_main;
    EngineFactory *m_engine;
    std::vector<std::unique_ptr<PageRecord>> m_pages;
    int m_newPageIndex = 0;
    bool m_lastPageBlanked = false;
    int m_changingPages = 0; // the collection's own changes of the strip, not the user's
    bool m_engineFailureReported = false;
    QProgressBar *m_progressBar = nullptr;
    QTimer m_captionTimer;
};
