#include "requestblocker.h"

#include "../contentfilter.h"

#include <QWebEngineUrlRequestInfo>

namespace {

ContentFilter::Resource resourceOf(QWebEngineUrlRequestInfo::ResourceType type)
{
    using R = ContentFilter::Resource;
    switch (type) {
    case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
    case QWebEngineUrlRequestInfo::ResourceTypeNavigationPreloadMainFrame:
        return R::Document;
    case QWebEngineUrlRequestInfo::ResourceTypeSubFrame:
    case QWebEngineUrlRequestInfo::ResourceTypeNavigationPreloadSubFrame:
        return R::Subdocument;
    case QWebEngineUrlRequestInfo::ResourceTypeStylesheet:
        return R::Stylesheet;
    case QWebEngineUrlRequestInfo::ResourceTypeScript:
    case QWebEngineUrlRequestInfo::ResourceTypeWorker:
    case QWebEngineUrlRequestInfo::ResourceTypeSharedWorker:
    case QWebEngineUrlRequestInfo::ResourceTypeServiceWorker:
        return R::Script;
    case QWebEngineUrlRequestInfo::ResourceTypeImage:
    case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
        return R::Image;
    case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
        return R::Font;
    case QWebEngineUrlRequestInfo::ResourceTypeObject:
    case QWebEngineUrlRequestInfo::ResourceTypePluginResource:
        return R::Object;
    case QWebEngineUrlRequestInfo::ResourceTypeMedia:
        return R::Media;
    case QWebEngineUrlRequestInfo::ResourceTypeXhr:
        return R::XmlHttpRequest;
    case QWebEngineUrlRequestInfo::ResourceTypePing:
    case QWebEngineUrlRequestInfo::ResourceTypeCspReport:
        return R::Ping;
    case QWebEngineUrlRequestInfo::ResourceTypeWebSocket:
        return R::WebSocket;
    default:
        return R::Other;
    }
}

} // namespace

void RequestBlocker::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    ContentFilter *filter = m_filter.load();
    if (!filter)
        return;
    const ContentFilter::Resource type = resourceOf(info.resourceType());
    // The page or frame that asks: its frame's origin, or the page itself for a page.
    const QUrl topLevel = type == ContentFilter::Resource::Document ? info.requestUrl() : info.firstPartyUrl();
    QUrl source = type == ContentFilter::Resource::Document ? info.requestUrl() : info.initiator();
    if (source.isEmpty() || source.scheme() == QLatin1String("null"))
        source = topLevel;
    if (filter->blocksRequest(info.requestUrl(), source, topLevel, type))
        info.block(true);
}
