#pragma once

class ContentFilter;
class QWebEngineProfile;

// The one persistent profile of the user (cookies, cache, visited links), created with
// the first page and destroyed after the last one.
namespace WebEngineProfile {

QWebEngineProfile *instance();
void release();

// Every request of the profile goes to this filter; pages take their hiding style sheets
// from it.
void setContentFilter(ContentFilter *filter);
ContentFilter *contentFilter();

} // namespace WebEngineProfile
