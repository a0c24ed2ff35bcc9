#include "pageprompts.h"

#include "browserpage.h"
#include "browserview.h"
#include "engineprompts.h"
#include "webenginebrowser.h"

#include <QAuthenticator>
#include <QSet>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineProfile>

namespace {

// Hosts whose certificate the user accepted in spite of the warning: for this run only.
QSet<QString> &acceptedHosts()
{
    static QSet<QString> hosts;
    return hosts;
}

QString permissionKey(const QUrl &origin, QWebEnginePage::Feature feature)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(origin.scheme() + QStringLiteral("://") + origin.host() +
                                                       QLatin1Char(':') + QString::number(origin.port()))) +
           QLatin1Char('/') + QString::number(int(feature));
}

QSettings permissions(const QString &profileFolder)
{
    return QSettings(profileFolder + QStringLiteral("/permissions.ini"), QSettings::IniFormat);
}

} // namespace

PagePrompts::PagePrompts(WebEngineBrowser *browser) : QObject(browser), m_browser(browser), m_page(browser->page())
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
    connect(m_page, &QWebEnginePage::featurePermissionRequested, this, &PagePrompts::permissionRequested);
    connect(m_page, &QWebEnginePage::featurePermissionRequestCanceled, this,
            [this](const QUrl &origin, QWebEnginePage::Feature feature) {
                for (const QPointer<PermissionBar> &bar : std::as_const(m_bars))
                    if (bar && bar->origin() == origin && bar->feature() == feature)
                        bar->deleteLater();
            });
    connect(m_page, &QWebEnginePage::fullScreenRequested, this, [this](QWebEngineFullScreenRequest request) {
        request.accept();
        fullScreen(request.toggleOn());
    });
}

QString PagePrompts::storedDecision(const QString &profileFolder, const QUrl &origin, QWebEnginePage::Feature feature)
{
    return permissions(profileFolder).value(permissionKey(origin, feature)).toString();
}

void PagePrompts::certificateError(const QWebEngineCertificateError &error)
{
    QWebEngineCertificateError held = error;
    const QString host = error.url().host();
    if (error.isOverridable() && acceptedHosts().contains(host)) {
        held.acceptCertificate();
        return;
    }
    held.defer();
    if (m_pendingError)
        m_pendingError->rejectCertificate();
    m_pendingError = held;
    if (!m_notice) {
        m_notice = new CertificateNotice(m_browser);
        connect(m_notice, &CertificateNotice::back, this, [this] {
            if (m_pendingError)
                m_pendingError->rejectCertificate();
            m_pendingError.reset();
            m_browser->showPage();
            if (m_page->action(QWebEnginePage::Back)->isEnabled())
                m_page->triggerAction(QWebEnginePage::Back);
        });
        connect(m_notice, &CertificateNotice::proceed, this, [this] {
            if (!m_pendingError || !m_pendingError->isOverridable())
                return;
            acceptedHosts().insert(m_pendingError->url().host());
            m_pendingError->acceptCertificate();
            m_pendingError.reset();
            m_browser->showPage();
        });
    }
    m_notice->show(error.url(), EnginePrompts::certificateProblem(error), error.isOverridable());
    m_browser->showInstead(m_notice);
}

void PagePrompts::permissionRequested(const QUrl &origin, QWebEnginePage::Feature feature)
{
    const QString folder = m_page->profile()->persistentStoragePath();
    const QString stored = storedDecision(folder, origin, feature);
    if (!stored.isEmpty()) {
        m_page->setFeaturePermission(origin, feature,
                                     stored == QLatin1String("allow") ? QWebEnginePage::PermissionGrantedByUser
                                                                      : QWebEnginePage::PermissionDeniedByUser);
        return;
    }
    // A page that asks again and again gets one question.
    for (const QPointer<PermissionBar> &bar : std::as_const(m_bars))
        if (bar && bar->origin() == origin && bar->feature() == feature)
            return;
    auto *bar = new PermissionBar(origin, feature, m_browser);
    m_bars << bar;
    connect(bar, &PermissionBar::answered, this, [this, bar](bool granted) { answerPermission(bar, granted); });
    m_browser->addBar(bar);
}

void PagePrompts::answerPermission(PermissionBar *bar, bool granted)
{
    permissions(m_page->profile()->persistentStoragePath())
        .setValue(permissionKey(bar->origin(), bar->feature()), granted ? QStringLiteral("allow") : QStringLiteral("deny"));
    m_page->setFeaturePermission(bar->origin(), bar->feature(),
                                 granted ? QWebEnginePage::PermissionGrantedByUser : QWebEnginePage::PermissionDeniedByUser);
    m_bars.removeAll(bar);
    bar->deleteLater();
}

void PagePrompts::fullScreen(bool on)
{
    BrowserView *view = m_browser->view();
    if (on && !m_fullScreen) {
        // The view goes into a window that fills the screen; Esc brings it back.
        m_fullScreen = new QWidget;
        m_fullScreen->setObjectName(QStringLiteral("FullScreenWindow"));
        m_fullScreen->setAttribute(Qt::WA_DeleteOnClose);
        auto *layout = new QVBoxLayout(m_fullScreen);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        auto *leave = new QShortcut(QKeySequence(Qt::Key_Escape), m_fullScreen);
        connect(leave, &QShortcut::activated, m_page, [this] { m_page->triggerAction(QWebEnginePage::ExitFullScreen); });
        m_fullScreen->showFullScreen();
        view->setFocus();
    } else if (!on && m_fullScreen) {
        m_browser->showInstead(view);
        m_browser->showPage();
        m_fullScreen->close();
        m_fullScreen = nullptr;
        view->setFocus();
    }
}
