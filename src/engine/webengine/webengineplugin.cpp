#include "webengineplugin.h"

#include "webenginebrowser.h"
#include "webengineprofile.h"

TEmbeddedWB *WebEnginePlugin::createBrowser(QWidget *parent)
{
    return new WebEngineBrowser(WebEngineProfile::instance(), parent);
}

void WebEnginePlugin::setContentFilter(ContentFilter *filter)
{
    WebEngineProfile::setContentFilter(filter);
}

void WebEnginePlugin::shutdown()
{
    WebEngineProfile::release();
}
