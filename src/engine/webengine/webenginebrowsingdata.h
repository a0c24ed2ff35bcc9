#pragma once

#include "../browsingdata.h"

#include <QHash>
#include <QNetworkCookie>
#include <QObject>

#include <memory>

class QTimer;
class QWebEngineProfile;

// The profile's browsing data. The cookies are mirrored as the engine reports them, so that
// the cleaner can go through them at once.
class WebEngineBrowsingData : public QObject, public BrowsingData
{
    Q_OBJECT

public:
    explicit WebEngineBrowsingData(QWebEngineProfile *profile);
    ~WebEngineBrowsingData() override;

    void clearVisitedLinks() override;
    bool visited(const QUrl &url) const override;
    void clearHttpCache() override;
    QList<Cookie> cookies() const override;
    void deleteCookie(const Cookie &cookie) override;
    void deleteAllCookies() override;
    void deleteSessionCookies() override;
    void whenCleared(int ms, std::function<void(bool)> done) override;
    void eraseFilesAtEnd() override;
    void eraseSiteDataAtEnd() override;
    void forgetCertificateExceptions() override;

    // Whether the HTTP cache under `folder` holds entries (the engine's entry files).
    static bool cacheHoldsEntries(const QString &folder);

private:
    struct Waiting;
    static QByteArray key(const QNetworkCookie &cookie);
    void look();

    QWebEngineProfile *m_profile;
    QHash<QByteArray, QNetworkCookie> m_cookies;
    QList<std::shared_ptr<Waiting>> m_waiting;
    QTimer *m_look;
    bool m_cacheAsked = false; // since the last whenCleared
};
