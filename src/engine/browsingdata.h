#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

// What the engine keeps of the user's browsing, as the cleaner needs it: visited links,
// the HTTP cache, cookies and what sites stored. Everything here runs on the interface
// thread.
class BrowsingData
{
public:
    struct Cookie
    {
        QByteArray name;
        QString domain;
        QString path;
        QDateTime expires; // invalid for a session cookie
        QByteArray raw;    // the whole cookie, to delete it by
        bool session() const { return !expires.isValid(); }
    };

    virtual ~BrowsingData() = default;

    virtual void clearVisitedLinks() = 0;
    virtual bool visited(const QUrl &url) const = 0;
    virtual void clearHttpCache() = 0;
    // The cookies the engine holds now, persistent and session.
    virtual QList<Cookie> cookies() const = 0;
    virtual void deleteCookie(const Cookie &cookie) = 0;
    virtual void deleteAllCookies() = 0;
    // The end of the browsing session: the cookies that live only as long as it.
    virtual void deleteSessionCookies() = 0;

    // The engine clears asynchronously: `done` hears, on the interface thread, once every
    // clearing asked for before has been carried out (true), or that this could not be
    // confirmed within `ms` (false). It is always called, once.
    virtual void whenCleared(int ms, std::function<void(bool confirmed)> done) = 0;
    // The files of the cookies, the cache, the visited links and what sites stored go once
    // the engine has let go of them at the program's end; should the program end without
    // that, they go at the next start, before the engine reads them.
    virtual void eraseFilesAtEnd() = 0;
    // What sites stored besides cookies (local and session storage, IndexedDB, service
    // workers and their caches, the icons with the addresses they came from): the engine
    // holds it open while it runs and offers no way to clear it, so it goes at the
    // program's end in the same way.
    virtual void eraseSiteDataAtEnd() = 0;
    // The certificates the user let through in spite of their errors are asked about again.
    virtual void forgetCertificateExceptions() = 0;
};
