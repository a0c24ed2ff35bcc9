#include "webenginebrowsingdata.h"

#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

WebEngineBrowsingData::WebEngineBrowsingData(QWebEngineProfile *profile) : QObject(profile), m_profile(profile)
{
    QWebEngineCookieStore *store = profile->cookieStore();
    connect(store, &QWebEngineCookieStore::cookieAdded, this,
            [this](const QNetworkCookie &cookie) { m_cookies.insert(key(cookie), cookie); });
    connect(store, &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie &cookie) { m_cookies.remove(key(cookie)); });
    store->loadAllCookies();
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
