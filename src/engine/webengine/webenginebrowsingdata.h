#pragma once

#include "../browsingdata.h"

#include <QHash>
#include <QNetworkCookie>
#include <QObject>

class QWebEngineProfile;

// The profile's browsing data. The cookies are mirrored as the engine reports them, so that
// the cleaner can go through them at once.
class WebEngineBrowsingData : public QObject, public BrowsingData
{
    Q_OBJECT

public:
    explicit WebEngineBrowsingData(QWebEngineProfile *profile);

    void clearVisitedLinks() override;
    bool visited(const QUrl &url) const override;
    void clearHttpCache() override;
    QList<Cookie> cookies() const override;
    void deleteCookie(const Cookie &cookie) override;
    void deleteAllCookies() override;
    void deleteSessionCookies() override;

private:
    static QByteArray key(const QNetworkCookie &cookie);

    QWebEngineProfile *m_profile;
    QHash<QByteArray, QNetworkCookie> m_cookies;
};
