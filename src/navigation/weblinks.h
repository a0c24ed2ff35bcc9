#pragma once

#include <QString>

// The web addresses the program knows: the search engines' query endpoints, the product's
// own site and the exempt web-mail host. All of them are kept here and nowhere else.
namespace WebLinks {

// First engine (also used for bare words typed into the address bar).
inline QString firstEngineQuery()
{
    return QStringLiteral("https://www.baidu.com/baidu?tn=sablix_dg&word=");
}

inline QString secondEngineQuery()
{
    return QStringLiteral("https://search.yahoo.com/click/search.htm?m=1001329&fw=union&st=0&p=1006&name=");
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
