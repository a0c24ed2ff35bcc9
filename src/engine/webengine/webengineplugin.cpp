#include "webengineplugin.h"

#include "webenginebrowser.h"
#include "webenginebrowsingdata.h"
#include "webengineprofile.h"

#include <QWebEnginePage>

TEmbeddedWB *WebEnginePlugin::createBrowser(QWidget *parent)
{
    return new WebEngineBrowser(WebEngineProfile::instance(), parent);
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

void WebEnginePlugin::shutdown()
{
    WebEngineProfile::release();
}
