#pragma once

#include "browsingdata.h"
#include "embeddedwb.h"

#include <QList>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <optional>

class ScriptedBrowsingData;

// A browser control without an engine, for tests: it records every call made on it and
// plays whatever sequence of events a test asks for, exactly. Like the real engine, it is
// busy and knows the address it was sent to from the moment of the call, and reports
// nothing until after the call has returned: with `playsNavigations`, each navigation
// plays its events from the event loop, later.
class ScriptedBrowser : public TEmbeddedWB
{
    Q_OBJECT

public:
    explicit ScriptedBrowser(QWidget *parent = nullptr);

    void Navigate(const QString &address) override;
    void NavigateSecureFirst(const QString &secure, const QString &insecure) override;
    // The address to fall back to while a secure-first navigation is on its way.
    QString insecureFallback;
    // Plays the secure attempt's failure: the page loads its fallback and says so.
    void refuseSecure();
    void showDeveloperTools() override { ++developerToolsShowings; }
    bool developerToolsShown() const override { return developerToolsShowings > 0; }
    int developerToolsShowings = 0;
    void GoBack() override;
    void GoForward() override;
    void GoHome() override;
    void Refresh() override;
    void Stop() override;
    void ExecWB(int command, int option, const QVariant &in = {}, QVariant *out = nullptr) override;

    bool Document() const override { return m_document; }
    QString LocationName() const override { return m_locationName; }
    QString LocationURL() const override { return m_pending.isEmpty() ? m_locationUrl : m_pending; }
    bool Busy() const override { return m_busy; }

    void setSilent(bool silent) override;
    void setRegisterAsDropTarget(bool accept) override;
    void setScriptWindowsAllowed(bool allowed) override { scriptWindowsAllowed = allowed; }
    bool scriptWindowsAllowed = true;
    void runDocumentScript(const QString &script, const ScriptResult &done = {}) override;
    // Plays a message of a frame script, as the engine would send it: later, from the event loop.
    void postFrameMessage(const QString &json);
    void focusDocument() override;
    void findText(const QString &text, bool matchCase, bool backward, const FindResult &done = {}) override;
    qint64 rendererProcessId() const override { return rendererPid; }
    // The process said to render the page (none by default).
    qint64 rendererPid = 0;
    Rest rest() const override { return m_rest; }
    void setRest(Rest rest) override;
    Rest restAllowed() const override;
    bool isPrivate() const override { return privateData != nullptr; }
    // A private page's profile, shared with the other private pages while any is left.
    std::shared_ptr<ScriptedBrowsingData> privateData;
    // The page plays sound (it never rests then).
    bool audible = false;
    // How many times a discarded page loaded again.
    int reloadsAfterDiscard = 0;
    // What findText finds: the number of matches for the text (0 when unset).
    std::function<int(const QString &text, bool matchCase)> findResponder;

    // What was done to this control, one entry per call: "Navigate about:blank", "Refresh", ...
    QStringList calls;
    // The last address given to Navigate (or GoHome), whether or not it committed since.
    QString pendingAddress() const { return m_requested; }
    // Plays every navigation by itself from the event loop (commitNavigation, with a title
    // made from the address).
    bool playsNavigations = false;

    void setDocument(bool document) { m_document = document; }
    // The page shows this document now (nothing pending any more).
    void setLocation(const QString &url, const QString &name = {});
    void setBusy(bool busy) { m_busy = busy; }
    void setTextSize(int level) { m_textSize = level; }
    int textSize() const { return m_textSize; }
    bool contextMenuWouldShow() const { return contextMenuAllowed(); }
    // Answers runDocumentScript; without one, scripts give an invalid QVariant.
    std::function<QVariant(const QString &)> scriptResponder;

    // Plays a whole navigation to the pending address (or `url`): DownloadBegin,
    // NavigateComplete2, TitleChange, DownloadComplete, DocumentComplete.
    void commitNavigation(const QString &url = {}, const QString &title = {});
    // Plays a new-window request from this page and tells whether it was answered.
    struct PlayedRequest
    {
        bool opened = false;
        TEmbeddedWB *target = nullptr;
    };
    PlayedRequest requestNewWindow(const QString &url, bool linkInBackground = false);
    // The engine gave up the navigation (an unreachable host, a stop): not busy any more.
    void failNavigation();

private:
    void request(const QString &address);

    QString m_locationUrl;
    QString m_locationName;
    QString m_pending;   // requested, not committed yet: what LocationURL reports meanwhile
    QString m_requested; // the last address requested
    bool m_document = false;
    bool m_busy = false;
    Rest m_rest = Rest::Active;
    int m_textSize = 2;
};

// Browsing data in memory, for tests: visited addresses, a cache that counts its
// clearings, and cookies.
class ScriptedBrowsingData : public BrowsingData
{
public:
    void clearVisitedLinks() override { visitedUrls.clear(); }
    bool visited(const QUrl &url) const override { return visitedUrls.contains(url); }
    void clearHttpCache() override { ++cacheClearings; }
    QList<Cookie> cookies() const override { return cookieJar; }
    void deleteCookie(const Cookie &cookie) override;
    void deleteAllCookies() override { cookieJar.clear(); }
    void deleteSessionCookies() override;
    void whenCleared(int ms, std::function<void(bool)> done) override;
    void eraseFilesAtEnd() override { ++erasuresAtEnd; }
    void eraseSiteDataAtEnd() override { ++siteDataErasuresAtEnd; }
    void forgetCertificateExceptions() override { ++exceptionsForgotten; }

    QList<QUrl> visitedUrls;
    // Whether the clearing is confirmed, as an engine that finishes or one that hangs.
    bool clearingConfirms = true;
    int erasuresAtEnd = 0;
    int siteDataErasuresAtEnd = 0;
    int exceptionsForgotten = 0;
    int cacheClearings = 0;
    QList<Cookie> cookieJar;
};

class ScriptedEngine : public EngineFactory
{
public:
    TEmbeddedWB *createBrowser(QWidget *parent) override;
    TEmbeddedWB *createPrivateBrowser(QWidget *parent) override;
    void setContentFilter(ContentFilter *filter) override { contentFilter = filter; }
    BrowsingData *browsingData() override { return failing ? nullptr : &data; }
    void setDownloadHandler(DownloadHandler *handler) override { downloadHandler = handler; }
    void addFrameScript(const QString &source) override { frameScripts.append(source); }
    QStringList frameScripts;
    DownloadHandler *downloadHandler = nullptr;
    ScriptedBrowsingData data;
    void shutdown() override { ++shutdowns; }
    EngineVersions versions() override
    {
        load();
        return reportedVersions;
    }
    void setEnhancedSecurity(bool on) override { enhancedSecurity = on; }
    void setBeforeStart(std::function<void()> prepare) override { beforeStart = std::move(prepare); }
    void setSpellChecking(bool on) override { spellChecking = on; }
    bool setDarkPages(bool on) override
    {
        darkPages = on;
        return !loaded;
    }
    std::optional<bool> spellChecking;
    std::optional<bool> darkPages;
    // As the real engine's loader: the first page or warm-up "loads the library".
    void warmUp() override { load(); }
    void load();

    ContentFilter *contentFilter = nullptr;
    // What the engine says of itself: nothing, unless a test tells (its age then counts).
    EngineVersions reportedVersions;
    std::optional<bool> enhancedSecurity;
    std::function<void()> beforeStart;
    bool loaded = false;

    QList<QPointer<ScriptedBrowser>> created;
    // The private pages' profile while one of them is left, and how many were made in all.
    std::weak_ptr<ScriptedBrowsingData> privateProfile;
    int privateProfilesMade = 0;
    int shutdowns = 0;
    // Set to make the next createBrowser calls fail, as an engine that cannot start.
    bool failing = false;
    // Browsers made from now on play their navigations by themselves, later.
    bool playsNavigations = false;
};
