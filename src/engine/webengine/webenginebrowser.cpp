#include "webenginebrowser.h"

#include "../internetoptions.h"
#include "browserpage.h"
#include "browserview.h"
#include "pagecommands.h"

#include <QAction>
#include <QLabel>
#include <QStackedLayout>
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

} // namespace

WebEngineBrowser::WebEngineBrowser(QWebEngineProfile *profile, QWidget *parent)
    : TEmbeddedWB(parent)
{
    m_view = new BrowserView(this);
    m_page = new BrowserPage(profile, m_view);
    m_view->setPage(m_page);
    m_view->setContextMenuAllowed([this] { return contextMenuAllowed(); });

    m_crashNotice = new QLabel(this);
    m_crashNotice->setAlignment(Qt::AlignCenter);
    m_crashNotice->setWordWrap(true);
    m_crashNotice->setText(QStringLiteral("此网页的显示进程已意外终止，网页无法显示。\n按 F5 重新载入此网页。"));
    m_crashNotice->setAutoFillBackground(true);

    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_view);
    m_stack->addWidget(m_crashNotice);
    m_stack->setCurrentWidget(m_view);
    setFocusProxy(m_view);

    connectPage();
}

WebEngineBrowser::~WebEngineBrowser()
{
    // The view takes its page with it; nothing of it may reach this half-destroyed object.
    m_page->disconnect(this);
    m_page->action(QWebEnginePage::Back)->disconnect(this);
    m_page->action(QWebEnginePage::Forward)->disconnect(this);
}

void WebEngineBrowser::connectPage()
{
    connect(m_page, &QWebEnginePage::loadStarted, this, [this] {
        m_busy = true;
        showCrashNotice(false);
        emit DownloadBegin();
    });
    connect(m_page, &QWebEnginePage::loadProgress, this,
            [this](int progress) { emit ProgressChange(progress, 100); });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool) {
        m_busy = false;
        m_document = true;
        emit DownloadComplete();
        emit DocumentComplete();
    });
    connect(m_page, &QWebEnginePage::urlChanged, this, [this](const QUrl &url) {
        if (!url.isEmpty())
            m_document = true;
        emit NavigateComplete2();
    });
    connect(m_page, &QWebEnginePage::titleChanged, this,
            [this](const QString &title) { emit TitleChange(title); });
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, [this] { emit CloseQuery(); });
    connect(m_page, &BrowserPage::scriptError, this, &TEmbeddedWB::ScriptError);
    connect(m_page, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest &request) {
                EngineNewWindowRequest wrapped(request);
                emit NewWindow2(&wrapped);
            });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status == QWebEnginePage::NormalTerminationStatus)
                    return;
                m_busy = false;
                showCrashNotice(true);
                emit RendererTerminated();
            });
    connect(m_page->action(QWebEnginePage::Back), &QAction::changed, this,
            &WebEngineBrowser::reportHistoryState);
    connect(m_page->action(QWebEnginePage::Forward), &QAction::changed, this,
            &WebEngineBrowser::reportHistoryState);
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
    m_stack->setCurrentWidget(crashed ? static_cast<QWidget *>(m_crashNotice) : m_view);
}

void WebEngineBrowser::Navigate(const QString &address)
{
    // The address goes to the engine as it is: no encoding beyond what a URL needs.
    m_page->load(QUrl(address, QUrl::TolerantMode));
}

void WebEngineBrowser::GoBack()
{
    m_page->triggerAction(QWebEnginePage::Back);
}

void WebEngineBrowser::GoForward()
{
    m_page->triggerAction(QWebEnginePage::Forward);
}

void WebEngineBrowser::GoHome()
{
    Navigate(InternetOptions::homePage());
}

void WebEngineBrowser::Refresh()
{
    showCrashNotice(false);
    m_page->triggerAction(QWebEnginePage::Reload);
}

void WebEngineBrowser::Stop()
{
    m_page->triggerAction(QWebEnginePage::Stop);
}

QString WebEngineBrowser::LocationName() const
{
    return m_page->title();
}

QString WebEngineBrowser::LocationURL() const
{
    return m_page->url().toString();
}

void WebEngineBrowser::setRegisterAsDropTarget(bool accept)
{
    m_view->setRefusesDrops(!accept);
}

void WebEngineBrowser::runDocumentScript(const QString &script, const ScriptResult &done)
{
    // The application's own world: the page's scripts cannot see or change what runs here.
    if (done)
        m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld, done);
    else
        m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld);
}

void WebEngineBrowser::focusDocument()
{
    m_view->setFocus(Qt::OtherFocusReason);
    runDocumentScript(QStringLiteral("window.focus();"));
}

qint64 WebEngineBrowser::rendererProcessId() const
{
    return m_page->renderProcessPid();
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
        PageCommands::saveAs(this);
        break;
    case ExecPrint:
        PageCommands::print(this);
        break;
    case ExecPrintPreview:
        PageCommands::printPreview(this);
        break;
    case ExecPageSetup:
        PageCommands::pageSetup(this);
        break;
    case ExecProperties:
        PageCommands::properties(this);
        break;
    default:
        break;
    }
}
