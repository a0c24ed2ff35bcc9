#pragma once

class ContentFilter;
class DownloadHandler;
class WebEngineBrowsingData;
#include <QStringList>

class QWebEngineProfile;

// The one persistent profile of the user (cookies, cache, visited links), created with
// the first page and destroyed after the last one.
namespace WebEngineProfile {

QWebEngineProfile *instance();
void release();

// What every profile of ours has, the private one too: the settings, the content filter and
// the download handling.
void configure(QWebEngineProfile *profile);

// Every request of the profile goes to this filter; pages take their hiding style sheets
// from it.
void setContentFilter(ContentFilter *filter);

// The profile's browsing data (the profile is made when needed).
WebEngineBrowsingData *browsingData();
ContentFilter *contentFilter();

// The cookie, cache and visited-link files and what sites stored go when the profile is released (the engine
// writes them late, so again when the process ends), or at the next start if the process
// ends before that.
void eraseFilesAtEnd();
// What sites stored (local and session storage, IndexedDB, service workers and their caches,
// the icons with their addresses) goes once the engine has let go of it: when the profile
// is released, again when the process ends, or at the next start if it ends before that.
void eraseSiteDataAtEnd();
// The files of those kinds under the profile's folders; true when none is left.
bool eraseFiles(const QString &storageFolder, const QString &cacheFolder);
void setDownloadHandler(DownloadHandler *handler);
// Before the first profile, which starts the engine with its switches (EngineSwitches);
// later calls change nothing.
void setEnhancedSecurity(bool on);
// Spelling for every profile of ours, from now on.
void setSpellChecking(bool on);
// The languages that check, for every profile of ours; kept for the next start.
void setSpellingLanguages(const QStringList &languages);
// The word is the user's: kept, and handed to the engine from its next start (it takes the
// user's words only when it starts). True once kept.
bool addSpellingWord(const QString &word);
// Whether a word was added during this run (still marked until the next start).
bool wasAddedThisRun(const QString &word);
// Before the first profile, which starts the engine with its switches; false when the
// engine runs already and the change waits for the next start.
bool setDarkPages(bool on);

} // namespace WebEngineProfile
