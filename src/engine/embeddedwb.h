#pragma once

#include "engineage.h"

#include <QPoint>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QWidget>

#include <functional>

class TEmbeddedWB;

// A page's request to open a new window. Answer it inside the NewWindow2 handler: openIn()
// loads the requested content into a page of ours; leaving it unanswered cancels it.
class NewWindowRequest
{
public:
    virtual ~NewWindowRequest() = default;
    virtual QString requestedUrl() const = 0;
    // A middle click (or Ctrl+click) on a link: the engine asks for a background tab itself.
    virtual bool isLinkOpenedInBackground() const = 0;
    virtual void openIn(TEmbeddedWB *target) = 0;
};

// The web engine control as the rest of the program sees it: one page's browser with its
// operations, properties and events. Implementations: the Qt WebEngine control (a plugin
// loaded with the first page) and the scripted control that tests drive.
class TEmbeddedWB : public QWidget
{
    Q_OBJECT

public:
    enum CommandId { CommandForward = 1, CommandBack = 2 };
    enum ExecCommand {
        ExecSaveAs = 4,
        ExecPrint = 6,
        ExecPrintPreview = 7,
        ExecPageSetup = 8,
        ExecProperties = 10,
        ExecCut = 11,
        ExecCopy = 12,
        ExecPaste = 13,
        ExecSelectAll = 17,
        ExecZoom = 19, // text size 0 (smallest) to 4 (largest)
    };
    enum ExecOption { OptionDoDefault = 0, OptionPromptUser = 1, OptionDontPromptUser = 2 };

    using ContextMenuHandler = std::function<bool()>;
    using ScriptResult = std::function<void(const QVariant &)>;

    explicit TEmbeddedWB(QWidget *parent = nullptr) : QWidget(parent) {}

    virtual void Navigate(const QString &address) = 0;
    // Loads `secure` (an address typed without a scheme, tried over https first); should the
    // connection fail or its certificate be refused, loads `insecure` instead and says so
    // with InsecureFallback.
    virtual void NavigateSecureFirst(const QString &secure, const QString &insecure) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void GoHome() = 0;
    virtual void Refresh() = 0;
    virtual void Stop() = 0;
    // Text size (ExecZoom) with an empty `in` reads the current level into `out`.
    virtual void ExecWB(int command, int option, const QVariant &in = {},
                        QVariant *out = nullptr) = 0;

    // True once a navigation has committed in this page.
    virtual bool Document() const = 0;
    virtual QString LocationName() const = 0;
    virtual QString LocationURL() const = 0;
    virtual bool Busy() const = 0;

    virtual void setSilent(bool silent) = 0;
    virtual void setRegisterAsDropTarget(bool accept) = 0;
    // Whether the page's scripts may ask for windows without a user's click (each request
    // still comes as NewWindow2). Off, the engine drops such requests by itself, cheaply.
    virtual void setScriptWindowsAllowed(bool allowed) = 0;

    // Document model access: the script runs in a world of its own, out of the page's
    // scripts' reach; the result comes back later, on the interface thread.
    virtual void runDocumentScript(const QString &script, const ScriptResult &done = {}) = 0;
    // Gives the page's document window the keyboard focus.
    virtual void focusDocument() = 0;
    // Where the document's top-left corner lies in this control (bars may stand above it).
    virtual QPoint documentOrigin() const { return {}; }
    // Finds text in the page from the current match on, forward or back, and marks it;
    // `done` hears how many matches there are (0: none).
    using FindResult = std::function<void(int matches)>;
    virtual void findText(const QString &text, bool matchCase, bool backward, const FindResult &done = {}) = 0;

    // The id of the process that renders the page, 0 when there is none.
    virtual qint64 rendererProcessId() const = 0;

    // A page in the background may rest: frozen (its scripts stop) or discarded (its document
    // and process memory go; caption, address and history stay, and it loads again when
    // shown, when it becomes active by itself).
    enum class Rest { Active, Frozen, Discarded };
    virtual Rest rest() const = 0;
    virtual void setRest(Rest rest) = 0;
    // The deepest rest the engine allows now: Active for a page that is shown, loading or
    // playing sound.
    virtual Rest restAllowed() const = 0;

    // A private page: its engine keeps its cookies, cache and visited links in memory only,
    // and the program writes nothing of it anywhere.
    virtual bool isPrivate() const = 0;

    // The engine's developer tools for this page, in a window of their own that goes with
    // the page (one per page: asked again, the window comes forward).
    virtual void showDeveloperTools() = 0;
    virtual bool developerToolsShown() const = 0;

    // Asked each time the engine would show its own context menu; true lets it.
    void setContextMenuHandler(ContextMenuHandler handler) { m_contextMenuHandler = std::move(handler); }

signals:
    void CommandStateChange(int command, bool enable);
    void DownloadBegin();
    void DownloadComplete();
    void DocumentComplete();
    void NavigateComplete2();
    void NewWindow2(NewWindowRequest *request);
    void ProgressChange(int progress, int progressMax);
    void TitleChange(const QString &text);
    // The page's own script asked to close its window; the engine does not close it.
    void CloseQuery();
    // Reported, never shown: scripts keep running.
    void ScriptError(const QString &message, int line, const QString &source);
    // The renderer process died; the page shows that it failed until it is loaded again.
    void RendererTerminated();
    // What the page was opening turned out to be a file to download, and the page has shown
    // no document of its own: it was there only for the download.
    void DownloadOnly();
    // What a frame script (EngineFactory::addFrameScript) of any frame of the page posted:
    // JSON text, from the scripts' own world only, never from the page's scripts.
    void FrameMessage(const QString &message);
    // An address tried over https first could not be had that way: `insecure` loads instead.
    void InsecureFallback(const QString &insecure);
    // The page's context menu asked for the source the server sent (查看网页源代码).
    void SourceRequested();

protected:
    bool contextMenuAllowed() const { return !m_contextMenuHandler || m_contextMenuHandler(); }

private:
    ContextMenuHandler m_contextMenuHandler;
};

class BrowsingData;
class ContentFilter;
class DownloadHandler;

// Creates the browser controls; the program has one, made when the first page opens.
class EngineFactory
{
public:
    virtual ~EngineFactory() = default;
    virtual TEmbeddedWB *createBrowser(QWidget *parent) = 0;
    // A private page. Every private page of the run shares one profile that never touches the
    // disk; it is dropped once the last of them is gone, and its cookies with it.
    virtual TEmbeddedWB *createPrivateBrowser(QWidget *parent) = 0;
    // Does now what the first page would otherwise wait for (the engine's start).
    virtual void warmUp() {}
    // Every request of every page is put to this filter from then on (none: no filtering).
    // It lives as long as the program.
    virtual void setContentFilter(ContentFilter *filter) = 0;
    // Every download of every page goes to this handler (none: downloads are refused).
    virtual void setDownloadHandler(DownloadHandler *handler) = 0;
    // A script run in every document of every page made from now on, frames included, in the
    // program's own world once the document is parsed. It may call post(value): the value
    // comes as JSON in the page's FrameMessage.
    virtual void addFrameScript(const QString &source) = 0;
    // The user's browsing data; starts the engine when needed; none when it cannot start.
    virtual BrowsingData *browsingData() = 0;
    // Called once every page is gone, before the program ends.
    virtual void shutdown() = 0;

    // What the engine is; loads its library when needed, without starting it.
    virtual EngineVersions versions() = 0;
    // JavaScript without its compiler, no WebGL, a process per site. The switches are the
    // whole engine's: only a call before the engine starts counts.
    virtual void setEnhancedSecurity(bool on) = 0;
    // Called once, when the engine's library is in and before the engine starts: the place
    // to decide what it starts with.
    virtual void setBeforeStart(std::function<void()> prepare) = 0;
    // Misspelt words in every page's text fields are marked, from now on.
    virtual void setSpellChecking(bool on) = 0;
    // Pages are rendered dark by the engine itself (a page's own dark scheme first). False
    // when the change waits for the next start (a switch of an engine already running).
    virtual bool setDarkPages(bool on) = 0;
};

#define SablixEngineFactory_iid "org.sablix.EngineFactory/3"
Q_DECLARE_INTERFACE(EngineFactory, SablixEngineFactory_iid)
