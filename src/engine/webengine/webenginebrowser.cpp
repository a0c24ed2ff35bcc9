#include "webenginebrowser.h"

#include "../contentfilter.h"
#include "../internetoptions.h"
#include "browserpage.h"
#include "browserview.h"
#include "developertools.h"
#include "../spelling.h"
#include "enginedialogs.h"
#include "framescripts.h"
#include "pageprompts.h"
#include "webengineprofile.h"

#include "../enginelog.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWebEngineContextMenuRequest>
#include <QLabel>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEngineFindTextResult>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScriptCollection>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>

namespace {

class EngineNewWindowRequest : public NewWindowRequest
{
public:
    explicit EngineNewWindowRequest(QWebEngineNewWindowRequest &request) : m_request(request) {}

    QString requestedUrl() const override { return m_request.requestedUrl().toString(); }
    bool isLinkOpenedInBackground() const override
    {
        return m_request.destination() == QWebEngineNewWindowRequest::InNewBackgroundTab &&
               m_request.isUserInitiated();
    }
    void openIn(TEmbeddedWB *target) override
    {
        if (auto *browser = qobject_cast<WebEngineBrowser *>(target))
            m_request.openIn(browser->page());
    }

private:
    QWebEngineNewWindowRequest &m_request;
};

// Default font sizes of the five text sizes, smallest to largest; 16 is the engine's own.
constexpr int kTextSizes[] = {12, 14, 16, 20, 24};

// A request the engine never takes up (an address it refuses without a word) does not
// keep the page busy for ever.
constexpr int kRequestWatchMs = 15000;

bool isBlank(const QString &address)
{
    const QString trimmed = address.trimmed();
    return trimmed.isEmpty() || trimmed.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) == 0;
}

bool isBlankUrl(const QUrl &url)
{
    return isBlank(url.toString());
}

// The address as the engine needs it: text without a scheme ("example.com", an absolute
// path) is taken for the address it means; everything else goes as it is, with no more
// encoding than a URL needs.
QUrl engineUrl(const QString &address)
{
    const QUrl url(address, QUrl::TolerantMode);
    if (url.isValid() && !url.scheme().isEmpty())
        return url;
    const QUrl meant = QUrl::fromUserInput(address);
    return meant.isValid() ? meant : url;
}

} // namespace

WebEngineBrowser::WebEngineBrowser(QWebEngineProfile *profile, QWidget *parent)
    : TEmbeddedWB(parent)
{
    m_view = newView(this);
    m_page = new BrowserPage(profile, m_view);
    m_view->setPage(m_page);
    FrameScripts::install(m_page);

    m_crashNotice = new QLabel(this);
    m_crashNotice->setAlignment(Qt::AlignCenter);
    m_crashNotice->setWordWrap(true);
    m_crashNotice->setText(QStringLiteral("此网页的显示进程已意外终止，网页无法显示。\n按 F5 重新载入此网页。"));
    m_crashNotice->setAutoFillBackground(true);

    // Bars above, the page (or a notice in its place) below.
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_bars = new QVBoxLayout;
    m_bars->setSpacing(0);
    outer->addLayout(m_bars);
    m_stack = new QStackedLayout;
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_view);
    m_stack->addWidget(m_crashNotice);
    m_stack->setCurrentWidget(m_view);
    outer->addLayout(m_stack, 1);
    setFocusProxy(m_view);
    m_prompts = new PagePrompts(this);

    m_requestWatch = new QTimer(this);
    m_requestWatch->setSingleShot(true);
    m_requestWatch->setInterval(kRequestWatchMs);
    connect(m_requestWatch, &QTimer::timeout, this, [this] { m_awaitingLoad = false; });

    connectPage();
}

WebEngineBrowser::~WebEngineBrowser()
{
    // The tools go before the page they inspect.
    delete m_developerTools.data();
    // The view takes its page with it; nothing of it may reach this half-destroyed object.
    m_page->disconnect(this);
    m_page->action(QWebEnginePage::Back)->disconnect(this);
    m_page->action(QWebEnginePage::Forward)->disconnect(this);
    // Last: a full-screen window goes here, with its view, before the page it shows.
    m_prompts->release();
}

void WebEngineBrowser::connectPage()
{
    connect(m_page, &QWebEnginePage::loadingChanged, this, &WebEngineBrowser::loadingChanged);
    connect(m_page, &QWebEnginePage::loadStarted, this, [this] {
        showCrashNotice(false);
        emit DownloadBegin();
    });
    connect(m_page, &QWebEnginePage::loadProgress, this,
            [this](int progress) { emit ProgressChange(progress, 100); });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool) {
        m_document = true;
        emit DownloadComplete();
        emit DocumentComplete();
    });
    connect(m_page, &QWebEnginePage::urlChanged, this, [this](const QUrl &url) {
        if (!url.isEmpty())
            m_document = true;
        // A document's address committed: from now on the engine knows it. (A late blank
        // page of an earlier request does not replace the address being loaded.)
        if (!isBlankUrl(url)) {
            m_pendingAddress.clear();
            m_awaitingLoad = false;
        }
        emit NavigateComplete2();
    });
    connect(m_page, &QWebEnginePage::titleChanged, this,
            [this](const QString &title) { emit TitleChange(title); });
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, [this] { emit CloseQuery(); });
    connect(m_page, &BrowserPage::scriptError, this, &TEmbeddedWB::ScriptError);
    connect(m_page, &BrowserPage::frameMessage, this, &TEmbeddedWB::FrameMessage);
    connect(m_page, &BrowserPage::mainFrameNavigation, this, &WebEngineBrowser::prepareHiding);
    connect(m_page, &BrowserPage::downloadAnswered, this, [this] {
        if (!hasShownDocument())
            emit DownloadOnly();
    });
    connect(m_page, &QWebEnginePage::pdfPrintingFinished, this, [](const QString &file, bool written) {
        if (!written)
            qCWarning(lcEngine).noquote() << "the page could not be printed to" << file;
    });
    connect(m_page, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest &request) {
                EngineNewWindowRequest wrapped(request);
                emit NewWindow2(&wrapped);
            });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status == QWebEnginePage::NormalTerminationStatus)
                    return;
                m_awaitingLoad = false;
                m_loads = 0;
                showCrashNotice(true);
                emit RendererTerminated();
            });
    connect(m_page->action(QWebEnginePage::Back), &QAction::changed, this,
            &WebEngineBrowser::reportHistoryState);
    connect(m_page->action(QWebEnginePage::Forward), &QAction::changed, this,
            &WebEngineBrowser::reportHistoryState);
}

void WebEngineBrowser::prepareHiding(const QUrl &url)
{
    // The elements the filter hides on documents from this address are hidden before they
    // are painted: a style sheet goes into each document (frames too) as it is created.
    static const QString name = QStringLiteral("sablix-hiding");
    QWebEngineScriptCollection &scripts = m_page->scripts();
    for (const QWebEngineScript &old : scripts.find(name))
        scripts.remove(old);
    ContentFilter *filter = WebEngineProfile::contentFilter();
    const QString sheet = filter ? filter->hidingStyleSheet(url) : QString();
    if (sheet.isEmpty())
        return;
    const QString css = QString::fromUtf8(QJsonDocument(QJsonArray{sheet}).toJson(QJsonDocument::Compact));
    QWebEngineScript script;
    script.setName(name);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(QStringLiteral("(function (css) {"
                                        " function put() {"
                                        "  var root = document.head || document.documentElement;"
                                        "  if (!root) return false;"
                                        "  var style = document.createElement('style');"
                                        "  style.textContent = css[0];"
                                        "  root.appendChild(style);"
                                        "  return true;"
                                        " }"
                                        " if (!put()) {"
                                        "  var watch = new MutationObserver(function () { if (put()) watch.disconnect(); });"
                                        "  watch.observe(document, {childList: true, subtree: true});"
                                        " }"
                                        "})(") + css + QStringLiteral(");"));
    scripts.insert(script);
}

bool WebEngineBrowser::hasShownDocument() const
{
    // The history holds what the page committed: a blank page is nothing shown.
    const QList<QWebEngineHistoryItem> items = m_page->history()->items();
    return std::any_of(items.begin(), items.end(), [](const QWebEngineHistoryItem &item) { return !isBlankUrl(item.url()); });
}

bool WebEngineBrowser::Busy() const
{
    return m_awaitingLoad || m_loads > 0;
}

void WebEngineBrowser::expectLoad(const QString &pendingAddress)
{
    m_pendingAddress = pendingAddress;
    m_awaitingLoad = true;
    m_requestWatch->start();
}

void WebEngineBrowser::loadingChanged(const QWebEngineLoadingInfo &info)
{
    // Blank pages load at once and without the network: they never count as busy.
    const bool blank = isBlankUrl(info.url());
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        // The engine took up our request. A blank page's start belongs to an earlier request
        // unless we asked for a step in the history, which may lead to one.
        if (!blank || m_pendingAddress.isEmpty()) {
            m_awaitingLoad = false;
            m_requestWatch->stop();
        }
        if (!blank)
            ++m_loads;
        return;
    }
    // Succeeded, failed or stopped.
    if (!blank && m_loads > 0)
        --m_loads;
    if (!m_insecureFallback.isEmpty() && !blank) {
        // A secure-first attempt ends here: over https it was refused (no answer, no TLS,
        // a certificate not taken) and goes over http; anything else is its answer.
        const bool refused = info.status() == QWebEngineLoadingInfo::LoadFailedStatus &&
                             (info.errorDomain() == QWebEngineLoadingInfo::ConnectionErrorDomain ||
                              info.errorDomain() == QWebEngineLoadingInfo::CertificateErrorDomain);
        if (refused && info.url().host() == m_secureHost)
            fallBackToInsecure();
        else if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus || info.url().host() == m_secureHost)
            m_insecureFallback.clear();
    }
}

void WebEngineBrowser::reportHistoryState()
{
    const bool back = m_page->action(QWebEnginePage::Back)->isEnabled();
    const bool forward = m_page->action(QWebEnginePage::Forward)->isEnabled();
    if (forward != m_canGoForward) {
        m_canGoForward = forward;
        emit CommandStateChange(CommandForward, forward);
    }
    if (back != m_canGoBack) {
        m_canGoBack = back;
        emit CommandStateChange(CommandBack, back);
    }
}

void WebEngineBrowser::showCrashNotice(bool crashed)
{
    if (crashed)
        m_stack->setCurrentWidget(m_crashNotice);
    else
        showPage(); // the view may be away in a full-screen window
}

BrowserView *WebEngineBrowser::newView(QWidget *parent)
{
    auto *view = new BrowserView(parent);
    view->setContextMenuAllowed([this] { return contextMenuAllowed(); });
    view->setContextMenuExtender([this](QMenu *menu, BrowserView *shown) { extendContextMenu(menu, shown); });
    return view;
}

void WebEngineBrowser::addBar(QWidget *bar)
{
    m_bars->addWidget(bar);
}

void WebEngineBrowser::showInstead(QWidget *notice)
{
    if (m_stack->indexOf(notice) < 0)
        m_stack->addWidget(notice);
    m_stack->setCurrentWidget(notice);
}

void WebEngineBrowser::showPage()
{
    // The view may be away in a full-screen window: nothing to switch then.
    if (m_stack->indexOf(m_view) >= 0)
        m_stack->setCurrentWidget(m_view);
}

void WebEngineBrowser::NavigateSecureFirst(const QString &secure, const QString &insecure)
{
    Navigate(secure);
    m_insecureFallback = insecure;
    m_secureHost = engineUrl(secure).host();
}

bool WebEngineBrowser::endsSecureAttempt(const QUrl &url)
{
    if (m_insecureFallback.isEmpty() || url.host() != m_secureHost)
        return false;
    // After the engine has taken the refusal in, not from inside its question.
    QTimer::singleShot(0, this, &WebEngineBrowser::fallBackToInsecure);
    return true;
}

void WebEngineBrowser::fallBackToInsecure()
{
    const QString insecure = std::exchange(m_insecureFallback, QString());
    if (insecure.isEmpty())
        return;
    Navigate(insecure);
    emit InsecureFallback(insecure);
}

void WebEngineBrowser::Navigate(const QString &address)
{
    m_insecureFallback.clear();
    const QUrl url = engineUrl(address);
    if (isBlank(address) || url.scheme().compare(QLatin1String("javascript"), Qt::CaseInsensitive) == 0) {
        // Neither loads a document: the page is not busy and keeps no new address.
        m_pendingAddress.clear();
        m_awaitingLoad = false;
    } else {
        // Busy, and at this address, from now: the engine reports either only later.
        expectLoad(address);
    }
    const quint64 navigation = ++m_navigations;
    auto go = [this, url, navigation] {
        if (navigation == m_navigations)
            m_page->load(url);
    };
    // The filter's lists may still be on their way (a first start parses them): the page
    // goes once they are in, rather than have its requests wait for them on this thread.
    // Every navigation waits, not only the web's: a new page's blank document that went at
    // once would commit before the address that follows it and stay in its history.
    if (ContentFilter *filter = WebEngineProfile::contentFilter())
        filter->whenReady(this, go);
    else
        go();
}

void WebEngineBrowser::GoBack()
{
    if (!m_page->action(QWebEnginePage::Back)->isEnabled())
        return;
    expectLoad();
    m_page->triggerAction(QWebEnginePage::Back);
}

void WebEngineBrowser::GoForward()
{
    if (!m_page->action(QWebEnginePage::Forward)->isEnabled())
        return;
    expectLoad();
    m_page->triggerAction(QWebEnginePage::Forward);
}

void WebEngineBrowser::GoHome()
{
    Navigate(InternetOptions::homePage());
}

void WebEngineBrowser::Refresh()
{
    showCrashNotice(false);
    if (!isBlankUrl(m_page->url()))
        expectLoad(m_pendingAddress);
    m_page->triggerAction(QWebEnginePage::Reload);
}

void WebEngineBrowser::Stop()
{
    ++m_navigations; // a navigation still held does not go
    m_page->triggerAction(QWebEnginePage::Stop);
    m_awaitingLoad = false;
    m_requestWatch->stop();
    // A page that had shown something shows it still; one that had not keeps the address
    // it was asked for.
    if (!m_page->url().isEmpty())
        m_pendingAddress.clear();
}

QString WebEngineBrowser::LocationName() const
{
    return m_page->title();
}

QString WebEngineBrowser::LocationURL() const
{
    return m_pendingAddress.isEmpty() ? m_page->url().toString() : m_pendingAddress;
}

void WebEngineBrowser::setRegisterAsDropTarget(bool accept)
{
    m_view->setRefusesDrops(!accept);
}

void WebEngineBrowser::setScriptWindowsAllowed(bool allowed)
{
    m_page->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, allowed);
}

void WebEngineBrowser::runDocumentScript(const QString &script, const ScriptResult &done)
{
    // The application's own world: the page's scripts cannot see or change what runs here.
    if (done)
        m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld, done);
    else
        m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld);
}

QPoint WebEngineBrowser::documentOrigin() const
{
    return m_view->mapTo(this, QPoint(0, 0));
}

void WebEngineBrowser::focusDocument()
{
    m_view->setFocus(Qt::OtherFocusReason);
    runDocumentScript(QStringLiteral("window.focus();"));
}

void WebEngineBrowser::findText(const QString &text, bool matchCase, bool backward, const FindResult &done)
{
    QWebEnginePage::FindFlags flags;
    if (matchCase)
        flags |= QWebEnginePage::FindCaseSensitively;
    if (backward)
        flags |= QWebEnginePage::FindBackward;
    QPointer<WebEngineBrowser> guard = this;
    m_page->findText(text, flags, [guard, done](const QWebEngineFindTextResult &result) {
        if (guard && done)
            done(result.numberOfMatches());
    });
}

qint64 WebEngineBrowser::rendererProcessId() const
{
    return m_page->renderProcessPid();
}

TEmbeddedWB::Rest WebEngineBrowser::rest() const
{
    switch (m_page->lifecycleState()) {
    case QWebEnginePage::LifecycleState::Frozen:
        return Rest::Frozen;
    case QWebEnginePage::LifecycleState::Discarded:
        return Rest::Discarded;
    default:
        return Rest::Active;
    }
}

void WebEngineBrowser::setRest(Rest rest)
{
    // The engine refuses a rest for a visible page, and an active page has to be frozen
    // before it can be discarded.
    if (!m_view->isVisible() || rest == Rest::Active) {
        if (rest == Rest::Discarded && m_page->lifecycleState() == QWebEnginePage::LifecycleState::Active)
            m_page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
        m_page->setLifecycleState(rest == Rest::Frozen      ? QWebEnginePage::LifecycleState::Frozen
                                  : rest == Rest::Discarded ? QWebEnginePage::LifecycleState::Discarded
                                                            : QWebEnginePage::LifecycleState::Active);
    }
}

TEmbeddedWB::Rest WebEngineBrowser::restAllowed() const
{
    if (m_view->isVisible() || Busy() || m_page->recentlyAudible())
        return Rest::Active;
    switch (m_page->recommendedState()) {
    case QWebEnginePage::LifecycleState::Active:
        return Rest::Active;
    case QWebEnginePage::LifecycleState::Frozen:
        return Rest::Frozen;
    case QWebEnginePage::LifecycleState::Discarded:
        return Rest::Discarded;
    }
    return Rest::Active;
}

bool WebEngineBrowser::isPrivate() const
{
    return m_page->profile()->isOffTheRecord();
}

void WebEngineBrowser::applyTextSize(int level)
{
    m_textSize = qBound(0, level, 4);
    m_page->settings()->setFontSize(QWebEngineSettings::DefaultFontSize, kTextSizes[m_textSize]);
}

void WebEngineBrowser::ExecWB(int command, int option, const QVariant &in, QVariant *out)
{
    Q_UNUSED(option);
    switch (command) {
    case ExecCut:
        m_page->triggerAction(QWebEnginePage::Cut);
        break;
    case ExecCopy:
        m_page->triggerAction(QWebEnginePage::Copy);
        break;
    case ExecPaste:
        m_page->triggerAction(QWebEnginePage::Paste);
        break;
    case ExecSelectAll:
        m_page->triggerAction(QWebEnginePage::SelectAll);
        break;
    case ExecZoom:
        if (in.isValid())
            applyTextSize(in.toInt());
        else if (out)
            *out = m_textSize;
        break;
    case ExecSaveAs:
        EngineDialogs::saveAs(this);
        break;
    case ExecPrint:
        EngineDialogs::print(this);
        break;
    case ExecPrintPreview:
        EngineDialogs::printPreview(this);
        break;
    case ExecPageSetup:
        EngineDialogs::pageSetup(this);
        break;
    case ExecProperties:
        EngineDialogs::properties(this);
        break;
    default:
        break;
    }
}

void WebEngineBrowser::showDeveloperTools()
{
    if (!m_developerTools) {
        m_developerTools = new DeveloperTools(m_page, this);
        m_developerTools->showTitle(m_page->title());
        connect(m_page, &QWebEnginePage::titleChanged, m_developerTools, &DeveloperTools::showTitle);
    }
    m_developerTools->show();
    m_developerTools->raise();
    m_developerTools->activateWindow();
}

bool WebEngineBrowser::developerToolsShown() const
{
    return m_developerTools && m_developerTools->isVisible();
}

void WebEngineBrowser::extendContextMenu(QMenu *menu, BrowserView *view)
{
    // The engine's own items for the source and the tools would open the source where the
    // popup rule drops it, and the tools nowhere: ours take their places.
    auto replace = [menu](QAction *engines, QAction *ours) {
        if (menu->actions().contains(engines)) {
            menu->insertAction(engines, ours);
            menu->removeAction(engines);
        } else {
            menu->addSeparator();
            menu->addAction(ours);
        }
    };
    const QWebEngineContextMenuRequest *request = view->lastContextMenuRequest();
    if (!isBlankUrl(m_page->url())) {
        auto *source = new QAction(QStringLiteral("查看网页源代码"), menu);
        source->setObjectName(QStringLiteral("ViewSourceItem"));
        source->setShortcut(QKeySequence(QStringLiteral("Ctrl+U")));
        connect(source, &QAction::triggered, this, [this] { emit SourceRequested(); });
        replace(m_page->action(QWebEnginePage::ViewSource), source);
    }
    auto *inspect = new QAction(QStringLiteral("检查元素"), menu);
    inspect->setObjectName(QStringLiteral("InspectElementItem"));
    connect(inspect, &QAction::triggered, this, [this] {
        showDeveloperTools();
        // At the place of the menu the engine remembers.
        m_page->triggerAction(QWebEnginePage::InspectElement);
    });
    replace(m_page->action(QWebEnginePage::InspectElement), inspect);

    if (!request || !request->isContentEditable() || !m_page->profile()->isSpellCheckEnabled())
        return;
    // After the engine's corrections (the first group of the menu): the word to the
    // user's dictionary.
    const QString word = request->misspelledWord();
    if (!word.isEmpty() && Spelling::isAcceptableWord(word)) {
        const bool added = WebEngineProfile::wasAddedThisRun(word);
        auto *add = new QAction(added ? QStringLiteral("已添加到词典(重新启动后生效)") : QStringLiteral("添加到词典"), menu);
        add->setObjectName(QStringLiteral("AddToDictionaryItem"));
        add->setEnabled(!added);
        connect(add, &QAction::triggered, this, [word] { WebEngineProfile::addSpellingWord(word); });
        QAction *groupEnd = nullptr;
        for (QAction *action : menu->actions())
            if (action->isSeparator()) {
                groupEnd = action;
                break;
            }
        menu->insertAction(groupEnd, add);
    }
    const QStringList installed = Spelling::installedLanguages();
    if (installed.isEmpty())
        return;
    menu->addSeparator();
    QMenu *languages = menu->addMenu(QStringLiteral("拼写检查语言"));
    languages->setObjectName(QStringLiteral("SpellingLanguagesMenu"));
    const QStringList chosen = m_page->profile()->spellCheckLanguages();
    for (const QString &language : installed) {
        QAction *item = languages->addAction(Spelling::languageName(language));
        item->setObjectName(QStringLiteral("SpellingLanguage_") + language);
        item->setCheckable(true);
        item->setChecked(chosen.contains(language));
        connect(item, &QAction::toggled, this, [language, chosen](bool on) {
            QStringList languages = chosen;
            languages.removeAll(language);
            if (on)
                languages << language;
            // One language at least checks; the last is not taken away.
            if (!languages.isEmpty())
                WebEngineProfile::setSpellingLanguages(languages);
        });
    }
}
