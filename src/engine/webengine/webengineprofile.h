#pragma once

class QWebEngineProfile;

// The one persistent profile of the user (cookies, cache, visited links), created with
// the first page and destroyed after the last one.
namespace WebEngineProfile {

QWebEngineProfile *instance();
void release();

} // namespace WebEngineProfile
