#pragma once

class QWebEngineProfile;

// The off-the-record profile of the private pages: made for the first of them and shared by
// all, it keeps cookies, cache and visited links in memory only. Once the last private page
// is gone (and the downloads it started have ended) it is dropped, and its cookies with it;
// the next private page starts a new one.
namespace PrivateProfile {

QWebEngineProfile *acquire();
// A page of `profile` is gone.
void pageGone(QWebEngineProfile *profile);
// At the end: every private profile goes, after the pages.
void releaseAll();

} // namespace PrivateProfile
