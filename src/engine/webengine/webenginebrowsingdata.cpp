#include "webenginebrowsingdata.h"

#include "pageprompts.h"
#include "webengineprofile.h"

#include <QDeadlineTimer>
#include <QDirIterator>
#include <QRegularExpression>
#include <QTimer>
#include <QUuid>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace {

// The cookie store carries out its requests in order and reports every change in order:
// once a marker cookie set after a deletion has come and gone, the deletion is done.
const QByteArray kMarker = QByteArrayLiteral("sablix-cleared");
const QUrl kMarkerOrigin(QStringLiteral("http://sablix-marker.invalid/"));

} // namespace

struct WebEngineBrowsingData::Waiting
{
    QByteArray marker;
    std::function<void(bool)> done;
    QDeadlineTimer deadline;
    bool cookiesDone = false;
    bool cache = false; // the cache was asked to clear
};

WebEngineBrowsingData::WebEngineBrowsingData(QWebEngineProfile *profile)
    : QObject(profile), m_profile(profile), m_look(new QTimer(this))
{
    QWebEngineCookieStore *store = profile->cookieStore();
    connect(store, &QWebEngineCookieStore::cookieAdded, this, [this, store](const QNetworkCookie &cookie) {
        if (cookie.name() == kMarker) {
            store->deleteCookie(cookie, kMarkerOrigin);
            return;
        }
        m_cookies.insert(key(cookie), cookie);
    });
    connect(store, &QWebEngineCookieStore::cookieRemoved, this, [this](const QNetworkCookie &cookie) {
        if (cookie.name() != kMarker) {
            m_cookies.remove(key(cookie));
            return;
        }
        for (const std::shared_ptr<Waiting> &waiting : std::as_const(m_waiting))
            if (waiting->marker == cookie.value())
                waiting->cookiesDone = true;
        look();
    });
    store->loadAllCookies();
    m_look->setInterval(50);
    connect(m_look, &QTimer::timeout, this, &WebEngineBrowsingData::look);
}

WebEngineBrowsingData::~WebEngineBrowsingData()
{
    // The engine goes: what was not confirmed by now will not be.
    const auto waiting = std::exchange(m_waiting, {});
    for (const std::shared_ptr<Waiting> &left : waiting)
        left->done(false);
}

QByteArray WebEngineBrowsingData::key(const QNetworkCookie &cookie)
{
    return cookie.name() + '\0' + cookie.domain().toUtf8() + '\0' + cookie.path().toUtf8();
}

void WebEngineBrowsingData::clearVisitedLinks()
{
    m_profile->clearAllVisitedLinks();
}

bool WebEngineBrowsingData::visited(const QUrl &url) const
{
    return m_profile->visitedLinksContainsUrl(url);
}

void WebEngineBrowsingData::clearHttpCache()
{
    m_profile->clearHttpCache();
    m_cacheAsked = true;
}

QList<BrowsingData::Cookie> WebEngineBrowsingData::cookies() const
{
    QList<Cookie> list;
    for (const QNetworkCookie &cookie : m_cookies)
        list.append({cookie.name(), cookie.domain(), cookie.path(), cookie.isSessionCookie() ? QDateTime() : cookie.expirationDate(),
                     cookie.toRawForm()});
    return list;
}

void WebEngineBrowsingData::deleteCookie(const Cookie &cookie)
{
    // A cookie is deleted by its name, domain and path as the engine holds them.
    const auto it = m_cookies.constFind(cookie.name + '\0' + cookie.domain.toUtf8() + '\0' + cookie.path.toUtf8());
    if (it == m_cookies.constEnd())
        return;
    m_profile->cookieStore()->deleteCookie(*it);
    m_cookies.erase(it);
}

void WebEngineBrowsingData::deleteAllCookies()
{
    m_profile->cookieStore()->deleteAllCookies();
    m_cookies.clear();
}

void WebEngineBrowsingData::deleteSessionCookies()
{
    m_profile->cookieStore()->deleteSessionCookies();
    m_cookies.removeIf([](const auto &held) { return held.value().isSessionCookie(); });
}

bool WebEngineBrowsingData::cacheHoldsEntries(const QString &folder)
{
    // One file per entry (and stream): 16 hex digits and a stream number, or the older
    // layout's "f_" files; the index files stay when the cache is empty.
    static const QRegularExpression entry(QStringLiteral("^([0-9a-f]{16}_[0-9s]|f_[0-9a-f]{6})$"));
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext())
        if (entry.match(files.nextFileInfo().fileName()).hasMatch())
            return true;
    return false;
}

void WebEngineBrowsingData::whenCleared(int ms, std::function<void(bool)> done)
{
    auto waiting = std::make_shared<Waiting>();
    waiting->marker = QUuid::createUuid().toByteArray(QUuid::Id128);
    waiting->done = std::move(done);
    waiting->deadline = QDeadlineTimer(ms);
    waiting->cache = std::exchange(m_cacheAsked, false);
    m_waiting << waiting;
    QNetworkCookie marker(kMarker, waiting->marker);
    marker.setPath(QStringLiteral("/"));
    m_profile->cookieStore()->setCookie(marker, kMarkerOrigin);
    m_look->start();
}

void WebEngineBrowsingData::look()
{
    // The visited links are cleared at once in memory; the cache is cleared once its
    // entries' files are gone.
    const bool cacheEmpty = !cacheHoldsEntries(m_profile->cachePath());
    const auto waiting = m_waiting;
    for (const std::shared_ptr<Waiting> &one : waiting) {
        const bool confirmed = one->cookiesDone && (!one->cache || cacheEmpty);
        if (!confirmed && !one->deadline.hasExpired())
            continue;
        m_waiting.removeAll(one);
        one->done(confirmed);
    }
    if (m_waiting.isEmpty())
        m_look->stop();
}

void WebEngineBrowsingData::eraseFilesAtEnd()
{
    WebEngineProfile::eraseFilesAtEnd();
}

void WebEngineBrowsingData::eraseSiteDataAtEnd()
{
    WebEngineProfile::eraseSiteDataAtEnd();
}

void WebEngineBrowsingData::forgetCertificateExceptions()
{
    PagePrompts::forgetCertificateExceptions();
}
