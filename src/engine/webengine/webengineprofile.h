#pragma once

class ContentFilter;
class DownloadHandler;
class WebEngineBrowsingData;
class QWebEngineProfile;

// The one persistent profile of the user (cookies, cache, visited links), created with
// the first page and destroyed after the last one.
namespace WebEngineProfile {

QWebEngineProfile *instance();
void release();

// Every request of the profile goes to this filter; pages take their hiding style sheets
// from it.
void setContentFilter(ContentFilter *filter);

// The profile's browsing data (the profile is made when needed).
WebEngineBrowsingData *browsingData();
ContentFilter *contentFilter();
void setDownloadHandler(DownloadHandler *handler);

} // namespace WebEngineProfile
