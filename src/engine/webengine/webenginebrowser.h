#pragma once

#include "../embeddedwb.h"

#include <QPointer>

class BrowserPage;
class BrowserView;
class PagePrompts;
class QLabel;
class QMenu;
class QStackedLayout;
class QTimer;
class QWebEngineLoadingInfo;
class QWebEngineProfile;

// One page's browser control over Qt WebEngine.
class WebEngineBrowser : public TEmbeddedWB
{
    Q_OBJECT

public:
    WebEngineBrowser(QWebEngineProfile *profile, QWidget *parent);
    ~WebEngineBrowser() override;

    void Navigate(const QString &address) override;
    void NavigateSecureFirst(const QString &secure, const QString &insecure) override;
    void GoBack() override;
    void GoForward() override;
    void GoHome() override;
    void Refresh() override;
    void Stop() override;
    void ExecWB(int command, int option, const QVariant &in = {}, QVariant *out = nullptr) override;

    bool Document() const override { return m_document; }
    QString LocationName() const override;
    QString LocationURL() const override;
    bool Busy() const override;

    void setSilent(bool silent) override { m_silent = silent; }
    void setRegisterAsDropTarget(bool accept) override;
    void setScriptWindowsAllowed(bool allowed) override;
    void runDocumentScript(const QString &script, const ScriptResult &done = {}) override;
    void focusDocument() override;
    QPoint documentOrigin() const override;
    void findText(const QString &text, bool matchCase, bool backward, const FindResult &done = {}) override;
    qint64 rendererProcessId() const override;
    Rest rest() const override;
    void setRest(Rest rest) override;
    Rest restAllowed() const override;
    bool isPrivate() const override;
    void showDeveloperTools() override;
    bool developerToolsShown() const override;

    // Whether a certificate problem at `url` ends a secure-first attempt: the page then
    // loads its insecure address instead, and nobody is asked.
    bool endsSecureAttempt(const QUrl &url);

    BrowserPage *page() const { return m_page; }
    BrowserView *view() const { return m_view; }
    // Another view with this page's rules (context menu, drops), without a page yet: for
    // showing the page elsewhere (full screen).
    BrowserView *newView(QWidget *parent);
    // Bars above the page (questions for the user).
    void addBar(QWidget *bar);
    // A notice in place of the page, until the page is shown again.
    void showInstead(QWidget *notice);
    void showPage();

private:
    void connectPage();
    void reportHistoryState();
    void showCrashNotice(bool crashed);
    void applyTextSize(int level);
    void expectLoad(const QString &pendingAddress = {});
    void loadingChanged(const QWebEngineLoadingInfo &info);
    void prepareHiding(const QUrl &url);
    void fallBackToInsecure();
    void extendContextMenu(QMenu *menu, BrowserView *view);
    // Whether the page committed a document other than a blank page.
    bool hasShownDocument() const;

    BrowserView *m_view = nullptr;
    BrowserPage *m_page = nullptr;
    QLabel *m_crashNotice = nullptr;
    PagePrompts *m_prompts = nullptr;
    QStackedLayout *m_stack = nullptr;
    class QVBoxLayout *m_bars = nullptr;
    bool m_document = false;
    // Busy from our own request until the engine has taken it up and finished it: the
    // engine reports a load only some time after it was asked for one.
    QString m_pendingAddress; // what Navigate was given, until the engine commits an address
    bool m_awaitingLoad = false;
    // Counts Navigate and Stop calls: a navigation held for the filter's lists goes only
    // when nothing came after it.
    quint64 m_navigations = 0;
    int m_loads = 0; // loads of real documents the engine has started and not yet finished
    QTimer *m_requestWatch = nullptr;
    bool m_silent = true;
    bool m_canGoBack = false;
    bool m_canGoForward = false;
    int m_textSize = 2;
    // While a secure-first navigation is on its way: where it goes should https fail.
    QString m_insecureFallback;
    QString m_secureHost;
    QPointer<class DeveloperTools> m_developerTools;
};
