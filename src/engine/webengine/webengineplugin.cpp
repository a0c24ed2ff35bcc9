#include "webengineplugin.h"

#include "browserpage.h"
#include "framescripts.h"
#include "privateprofile.h"
#include "webenginebrowser.h"
#include "webenginebrowsingdata.h"
#include "webengineprofile.h"

#include <QWebEnginePage>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>

TEmbeddedWB *WebEnginePlugin::createBrowser(QWidget *parent)
{
    return new WebEngineBrowser(WebEngineProfile::instance(), parent);
}

TEmbeddedWB *WebEnginePlugin::createPrivateBrowser(QWidget *parent)
{
    QWebEngineProfile *profile = PrivateProfile::acquire();
    auto *browser = new WebEngineBrowser(profile, parent);
    // Once the engine's page has gone, the profile may go with the last of them.
    QObject::connect(browser->page(), &QObject::destroyed, [profile] { PrivateProfile::pageGone(profile); });
    return browser;
}

void WebEnginePlugin::warmUp()
{
    // The profile starts the engine; a first page, made and dropped, starts the rest.
    delete new QWebEnginePage(WebEngineProfile::instance());
}

void WebEnginePlugin::setContentFilter(ContentFilter *filter)
{
    WebEngineProfile::setContentFilter(filter);
}

BrowsingData *WebEnginePlugin::browsingData()
{
    return WebEngineProfile::browsingData();
}

void WebEnginePlugin::setDownloadHandler(DownloadHandler *handler)
{
    WebEngineProfile::setDownloadHandler(handler);
}

void WebEnginePlugin::addFrameScript(const QString &source)
{
    FrameScripts::add(source);
}

void WebEnginePlugin::shutdown()
{
    PrivateProfile::releaseAll();
    WebEngineProfile::release();
}

EngineVersions WebEnginePlugin::versions()
{
    // The library's own answers: it may be newer than the headers sablix was built with.
    return {QString::fromLatin1(qWebEngineVersion()), QString::fromLatin1(qWebEngineChromiumVersion()),
            QString::fromLatin1(qWebEngineChromiumSecurityPatchVersion())};
}

void WebEnginePlugin::setEnhancedSecurity(bool on)
{
    WebEngineProfile::setEnhancedSecurity(on);
}

void WebEnginePlugin::setSpellChecking(bool on)
{
    WebEngineProfile::setSpellChecking(on);
}

bool WebEnginePlugin::setDarkPages(bool on)
{
    return WebEngineProfile::setDarkPages(on);
}
