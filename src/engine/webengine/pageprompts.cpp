#include "pageprompts.h"

#include "browserpage.h"
#include "browserview.h"
#include "../sitepermissions.h"
#include "engineprompts.h"
#include "permissionrequests.h"
#include "webenginebrowser.h"

#include <QAuthenticator>
#include <QCryptographicHash>
#include <QEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QSet>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineProfile>

namespace {

// Certificates the user chose to trust in spite of an error, for this run only: each for
// its host, port, certificate and error alone.
QSet<QString> &acceptedCertificates()
{
    static QSet<QString> accepted;
    return accepted;
}

// The host and port of an address, as an exception names them.
QString siteOf(const QUrl &url)
{
    const bool secure = url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("wss");
    return url.host() + QLatin1Char(':') + QString::number(url.port(secure ? 443 : 80));
}

// Empty when the error carries no certificate: nothing can be remembered for it then.
QString exceptionKey(const QWebEngineCertificateError &error)
{
    const QList<QSslCertificate> chain = error.certificateChain();
    if (chain.isEmpty() || chain.first().isNull())
        return {};
    const QByteArray print = QCryptographicHash::hash(chain.first().toDer(), QCryptographicHash::Sha256).toHex();
    return siteOf(error.url()) + QLatin1Char('/') + QString::fromLatin1(print) + QLatin1Char('/') +
           QString::number(int(error.type()));
}

// Sites let through again after their exceptions were forgotten (the certificate unknown
// then): for this run.
QSet<QString> &passedSites()
{
    static QSet<QString> sites;
    return sites;
}

// Sites whose exceptions were forgotten. The engine remembers a certificate it was told to
// let through for as long as it runs and no longer reports its error: a page going to such
// a site is stopped and the user asked again here.
QSet<QString> &forgottenSites()
{
    static QSet<QString> sites;
    return sites;
}

bool hasException(const QUrl &url)
{
    const QString site = siteOf(url);
    if (passedSites().contains(site))
        return true;
    for (const QString &key : std::as_const(acceptedCertificates()))
        if (key.startsWith(site + QLatin1Char('/')))
            return true;
    return false;
}

bool isSecureScheme(const QUrl &url)
{
    return url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("wss");
}

// How long the full-screen notice stays.
constexpr int kFullScreenNoticeMs = 4000;

} // namespace

PagePrompts::PagePrompts(WebEngineBrowser *browser)
    : QObject(browser), m_browser(browser), m_page(browser->page()), m_permissions(new PermissionRequests(m_page))
{
    connect(m_page, &QWebEnginePage::authenticationRequired, this, [this](const QUrl &url, QAuthenticator *auth) {
        QString user;
        QString password;
        if (EnginePrompts::signIn(m_browser->window(), url, auth->realm(), QString(), user, password)) {
            auth->setUser(user);
            auth->setPassword(password);
        } else {
            // Cancelled: the request fails, as the engine would fail it.
            *auth = QAuthenticator();
        }
    });
    connect(m_page, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl &url, QAuthenticator *auth, const QString &proxyHost) {
                QString user;
                QString password;
                if (EnginePrompts::signIn(m_browser->window(), url, auth->realm(), proxyHost, user, password)) {
                    auth->setUser(user);
                    auth->setPassword(password);
                } else {
                    *auth = QAuthenticator();
                }
            });
    connect(m_page, &QWebEnginePage::certificateError, this, &PagePrompts::certificateError);
    connect(m_permissions, &PermissionRequests::asked, this, &PagePrompts::permissionRequested);
    connect(m_permissions, &PermissionRequests::withdrawn, this, [this](const QUrl &origin, int feature) {
        for (const QPointer<PermissionBar> &bar : std::as_const(m_bars))
            if (bar && bar->origin() == origin && bar->feature() == feature)
                bar->deleteLater();
    });
    connect(m_page, &QWebEnginePage::fullScreenRequested, this, [this](QWebEngineFullScreenRequest request) {
        request.accept();
        fullScreen(request.toggleOn());
    });
    connect(m_browser->page(), &BrowserPage::mainFrameNavigation, this, &PagePrompts::mainFrameNavigation);
    // The navigation passed over again is done with, whatever the engine reported.
    connect(m_page, &QWebEnginePage::loadFinished, this, [this] { m_passingSite.clear(); });
    m_browser->page()->navigationGate = [this](const QUrl &url) { return mayNavigate(url); };
}

void PagePrompts::release()
{
    m_page->disconnect(this);
    m_permissions->disconnect(this);
    m_browser->page()->navigationGate = {};
    // The view is away in the full-screen window (the window owns it now): the window, the
    // view and its page go together, none left on screen or pointing at a page that is gone.
    delete m_fullScreen.data();
}

bool PagePrompts::eventFilter(QObject *watched, QEvent *event)
{
    // Closed by the desktop: the page leaves full screen and takes its view back; the
    // window never goes with the view in it.
    if (watched == m_fullScreen && event->type() == QEvent::Close) {
        event->ignore();
        m_page->triggerAction(QWebEnginePage::ExitFullScreen);
        return true;
    }
    // The notice stays centred at the top whatever size the screen gives the window.
    if (watched == m_fullScreen && event->type() == QEvent::Resize)
        if (auto *notice = m_fullScreen->findChild<QLabel *>(QStringLiteral("FullScreenNotice")))
            notice->move((m_fullScreen->width() - notice->width()) / 2, 40);
    return QObject::eventFilter(watched, event);
}

void PagePrompts::forgetCertificateExceptions()
{
    for (const QString &key : std::as_const(acceptedCertificates()))
        forgottenSites().insert(key.section(QLatin1Char('/'), 0, 0));
    forgottenSites().unite(passedSites());
    acceptedCertificates().clear();
    passedSites().clear();
}

bool PagePrompts::mayNavigate(const QUrl &url)
{
    if (!isSecureScheme(url) || !forgottenSites().contains(siteOf(url)))
        return true;
    // Stopped and asked once the engine is out of its navigation call (refusing the
    // navigation itself leaves the engine's later certificate checks unreported).
    QTimer::singleShot(0, this, [this, url] {
        m_page->triggerAction(QWebEnginePage::Stop);
        if (m_pendingError)
            m_pendingError->rejectCertificate();
        m_pendingError.reset();
        m_forgottenUrl = url;
        certificateNotice()->show(url, QStringLiteral("您此前选择忽略此网站的安全证书错误，该例外已被清除。"), true);
        m_browser->showInstead(m_notice);
    });
    return true;
}

void PagePrompts::certificateError(const QWebEngineCertificateError &error)
{
    QWebEngineCertificateError held = error;
    const QString key = exceptionKey(error);
    if (error.isOverridable() && !key.isEmpty() && siteOf(error.url()) == std::exchange(m_passingSite, QString()))
        acceptedCertificates().insert(key);
    if (error.isOverridable() && !key.isEmpty() && acceptedCertificates().contains(key)) {
        held.acceptCertificate();
        showInsecure(error.url());
        return;
    }
    // Tried over https only because the user prefers it: a certificate that fails (and was
    // not passed over before) means the site has no secure connection to offer, and the page
    // goes over http.
    if (m_browser->endsSecureAttempt(error.url())) {
        held.rejectCertificate();
        return;
    }
    held.defer();
    if (m_pendingError)
        m_pendingError->rejectCertificate();
    m_pendingError = held;
    m_forgottenUrl.clear();
    certificateNotice()->show(error.url(), EnginePrompts::certificateProblem(error), error.isOverridable());
    m_browser->showInstead(m_notice);
}

CertificateNotice *PagePrompts::certificateNotice()
{
    if (!m_notice) {
        m_notice = new CertificateNotice(m_browser);
        connect(m_notice, &CertificateNotice::back, this, [this] {
            if (!m_forgottenUrl.isEmpty()) {
                // Whatever of that site came before the stop does not stay on show.
                const QUrl url = std::exchange(m_forgottenUrl, QUrl());
                m_browser->showPage();
                if (siteOf(m_page->url()) == siteOf(url) && isSecureScheme(m_page->url())) {
                    if (m_page->action(QWebEnginePage::Back)->isEnabled())
                        m_page->triggerAction(QWebEnginePage::Back);
                    else
                        m_page->load(QUrl(QStringLiteral("about:blank")));
                }
                return;
            }
            if (m_pendingError)
                m_pendingError->rejectCertificate();
            m_pendingError.reset();
            m_browser->showPage();
            if (m_page->action(QWebEnginePage::Back)->isEnabled())
                m_page->triggerAction(QWebEnginePage::Back);
        });
        connect(m_notice, &CertificateNotice::proceed, this, [this] {
            if (!m_forgottenUrl.isEmpty()) {
                const QUrl url = std::exchange(m_forgottenUrl, QUrl());
                forgottenSites().remove(siteOf(url));
                passedSites().insert(siteOf(url));
                m_passingSite = siteOf(url);
                m_browser->showPage();
                m_page->load(url);
                return;
            }
            if (!m_pendingError || !m_pendingError->isOverridable())
                return;
            const QString accepted = exceptionKey(*m_pendingError);
            if (!accepted.isEmpty())
                acceptedCertificates().insert(accepted);
            const QUrl url = m_pendingError->url();
            m_pendingError->acceptCertificate();
            m_pendingError.reset();
            m_browser->showPage();
            showInsecure(url);
        });
    }
    return m_notice;
}

void PagePrompts::showInsecure(const QUrl &url)
{
    m_insecureSite = siteOf(url);
    if (!m_insecure) {
        m_insecure = new InsecureBar(m_browser);
        m_browser->addBar(m_insecure);
    }
    m_insecure->show(url.host());
}

void PagePrompts::mainFrameNavigation(const QUrl &url)
{
    if (siteOf(url) != m_passingSite)
        m_passingSite.clear();
    // The warning stays while the page is on the site whose certificate was let through
    // (the engine lets it through again by itself); anywhere else it goes.
    if (isSecureScheme(url) && (siteOf(url) == m_insecureSite || hasException(url))) {
        showInsecure(url);
        return;
    }
    m_insecureSite.clear();
    delete m_insecure;
}

void PagePrompts::permissionRequested(const QUrl &origin, int feature)
{
    const QString site = SitePermissions::siteOf(origin, m_page->url());
    // A private page is asked afresh and its answers are not kept: they would tell where it
    // has been.
    const bool offTheRecord = m_page->profile()->isOffTheRecord();
    const QString stored = offTheRecord ? QString() : SitePermissions::decision(site, feature);
    if (!stored.isEmpty()) {
        m_permissions->answer(origin, feature, stored == QLatin1String("allow"));
        return;
    }
    // A page that asks again and again gets one question.
    for (const QPointer<PermissionBar> &bar : std::as_const(m_bars))
        if (bar && bar->origin() == origin && bar->feature() == feature)
            return;
    auto *bar = new PermissionBar(origin, site, feature, m_browser);
    m_bars << bar;
    connect(bar, &PermissionBar::answered, this, [this, bar](bool granted) { answerPermission(bar, granted); });
    m_browser->addBar(bar);
}

void PagePrompts::answerPermission(PermissionBar *bar, bool granted)
{
    if (!m_page->profile()->isOffTheRecord())
        SitePermissions::setDecision(bar->site(), bar->feature(), granted);
    m_permissions->answer(bar->origin(), bar->feature(), granted);
    m_bars.removeAll(bar);
    bar->deleteLater();
}

void PagePrompts::fullScreen(bool on)
{
    BrowserView *view = m_browser->view();
    if (on && !m_fullScreen) {
        // The page goes into a window that fills the screen, shown there by a view of its
        // own; Esc brings it back. (The tab's view moved into another window drew nothing
        // there but an empty grey window.)
        m_fullScreen = new QWidget;
        m_fullScreen->setObjectName(QStringLiteral("FullScreenWindow"));
        m_fullScreen->installEventFilter(this);
        auto *layout = new QVBoxLayout(m_fullScreen);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *fullView = m_browser->newView(m_fullScreen);
        fullView->setObjectName(QStringLiteral("FullScreenView"));
        fullView->setPage(m_page);
        layout->addWidget(fullView);
        auto *leave = new QShortcut(QKeySequence(Qt::Key_Escape), m_fullScreen);
        connect(leave, &QShortcut::activated, m_page, [this] { m_page->triggerAction(QWebEnginePage::ExitFullScreen); });
        // The screen the browser is on, even where no window manager sizes the window.
        m_fullScreen->setGeometry(m_browser->screen()->geometry());
        m_fullScreen->showFullScreen();
        // How to get back, for a few seconds, over the page.
        auto *notice = new QLabel(QStringLiteral("按 Esc 退出全屏"), m_fullScreen);
        notice->setObjectName(QStringLiteral("FullScreenNotice"));
        notice->setTextFormat(Qt::PlainText);
        notice->setAlignment(Qt::AlignCenter);
        notice->setStyleSheet(QStringLiteral("background: rgba(0,0,0,180); color: white; padding: 10px 18px;"
                                             " border-radius: 6px; font-size: 16px;"));
        notice->adjustSize();
        notice->move((m_fullScreen->width() - notice->width()) / 2, 40);
        notice->setAttribute(Qt::WA_TransparentForMouseEvents);
        notice->show();
        notice->raise();
        QTimer::singleShot(kFullScreenNoticeMs, notice, &QLabel::hide);
        fullView->setFocus();
    } else if (!on && m_fullScreen) {
        // Hidden while it still shows the page, then the page goes back to the tab's view:
        // the view of the window is never left without a page while it is shown.
        QWidget *window = m_fullScreen;
        m_fullScreen = nullptr;
        window->hide();
        view->setPage(m_page);
        m_browser->showPage();
        window->deleteLater();
        view->setFocus();
    }
}
