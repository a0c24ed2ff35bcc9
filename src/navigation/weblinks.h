#pragma once

#include <QString>
#include <QUrl>

// The web addresses the program knows: the search engines' query endpoints, the product's
// own site and the exempt web-mail host. All of them are kept here and nowhere else.
namespace WebLinks {

// Tests point both engines at a server of their own (scheme, host and port, no path).
inline QString searchOrigin(const char *engineOrigin)
{
    const QString testOrigin = qEnvironmentVariable("SABLIX_SEARCH_ORIGIN");
    return testOrigin.isEmpty() ? QString::fromLatin1(engineOrigin) : testOrigin;
}

// First engine (also used for bare words typed into the address bar). Without "ie" it
// reads the words as GBK.
inline QString firstEngineQuery()
{
    return searchOrigin("https://www.baidu.com") + QStringLiteral("/baidu?tn=sablix_dg&ie=utf-8&word=");
}

// The engine's own search page, which takes UTF-8 when told so ("ei").
inline QString secondEngineQuery()
{
    return searchOrigin("https://search.yahoo.com") + QStringLiteral("/search?ei=UTF-8&p=");
}

// A query address followed by the words, percent-encoded as UTF-8: "+", "&", "#" and "%"
// are part of the words, not of the address.
inline QString searchAddress(const QString &queryAddress, const QString &words)
{
    return queryAddress + QString::fromLatin1(QUrl::toPercentEncoding(words));
}

// The product's web site: online help, home page and forum all open it.
inline QString productSite()
{
    return QStringLiteral("https://sablix.org/");
}

// The web-mail site whose pages keep their Flash (and the rest of the Flash walk's page).
inline QString exemptWebMailHost()
{
    return QStringLiteral("mail.sablix.org");
}

inline QString makerMail()
{
    return QStringLiteral("author@sablix.org");
}

} // namespace WebLinks
