#include "webengineprofile.h"

#include "../engineage.h"
#include "../enginelog.h"
#include "../sitepermissions.h"
#include "../spelling.h"
#include "../../core/safefile.h"
#include "permissionrequests.h"
#include "requestblocker.h"
#include "webenginebrowsingdata.h"
#include "webenginedownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QTranslator>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace WebEngineProfile {
namespace {

QWebEngineProfile *g_profile = nullptr;
// The request blockers of every profile of ours (each goes with its profile).
QList<QPointer<RequestBlocker>> g_blockers;
WebEngineBrowsingData *g_data = nullptr;
DownloadHandler *g_downloads = nullptr;
ContentFilter *g_filter = nullptr;
bool g_enhancedSecurity = false;
bool g_spellChecking = true;
bool g_darkPages = false;
// Every profile of ours (the private ones come and go): spelling changes reach them all.
QList<QPointer<QWebEngineProfile>> g_profiles;
QStringList g_wordsAddedThisRun;
// The engine's own list of the user's words, in its profile folder: read when it starts.
const char kEngineWordsFile[] = "Custom Dictionary.txt";

// Left in the profile's folder while its files are to be erased: all the cleaner clears, or
// only what sites stored.
const char kEraseMarker[] = "erase-at-start";
const char kSiteDataMarker[] = "erase-site-data-at-start";
bool g_eraseAtRelease = false;
bool g_eraseSiteDataAtRelease = false;
// The same for the process's end, which comes after the release.
bool g_eraseAtExit = false;
bool g_eraseSiteDataAtExit = false;
bool g_atExitSet = false;
// For the end of the process, when Qt is gone: plain paths.
std::string g_storageFolder;
std::string g_cacheFolder;

// The kinds of files the cleaner clears; what else the profile keeps (the permissions, the
// engine's own settings) stays.
const char *const kStorageFiles[] = {"Cookies", "Cookies-journal", "Visited Links"};
// What sites stored besides cookies, and what the engine keeps of the sites visited: each
// holds addresses or what a page put there.
const char *const kSiteData[] = {"Local Storage", "Session Storage", "IndexedDB", "Service Worker", "databases",
                                 "File System", "blob_storage", "QuotaManager", "QuotaManager-journal",
                                 "shared_proto_db", "Platform Notifications", "Favicons", "Favicons-journal",
                                 "Network Persistent State", "TransportSecurity", "Trust Tokens",
                                 "Trust Tokens-journal", "Reporting and NEL", "Reporting and NEL-journal",
                                 "Network Action Predictor", "Network Action Predictor-journal", "Code Cache",
                                 "GPUCache", "WebStorage"};

// Removes each (remove_all never follows a link); true when none of them is left.
template <size_t N>
bool eraseNames(const std::string &storage, const char *const (&names)[N])
{
    namespace fs = std::filesystem;
    std::error_code error;
    bool gone = true;
    for (const char *name : names) {
        fs::remove_all(fs::path(storage) / name, error);
        gone = gone && !fs::exists(fs::symlink_status(fs::path(storage) / name, error));
    }
    return gone;
}

bool eraseSiteData(const std::string &storage)
{
    return eraseNames(storage, kSiteData);
}

bool eraseFolders(const std::string &storage, const std::string &cache)
{
    namespace fs = std::filesystem;
    std::error_code error;
    bool gone = eraseNames(storage, kStorageFiles);
    gone = eraseSiteData(storage) && gone;
    // The cache folder is the engine's alone; remove_all never follows a link.
    if (!cache.empty()) {
        fs::remove_all(cache, error);
        gone = gone && !fs::exists(fs::symlink_status(cache, error));
    }
    return gone;
}

// What was asked for, and its marker once it is all gone.
void eraseAsked(bool everything, bool siteData)
{
    std::error_code error;
    const std::filesystem::path storage(g_storageFolder);
    if (everything && eraseFolders(g_storageFolder, g_cacheFolder)) {
        std::filesystem::remove(storage / kEraseMarker, error);
        std::filesystem::remove(storage / kSiteDataMarker, error);
    } else if (siteData && eraseSiteData(g_storageFolder)) {
        std::filesystem::remove(storage / kSiteDataMarker, error);
    }
}

void eraseAtExit()
{
    // The engine's last writes happen while the application ends, after the profile went.
    eraseAsked(g_eraseAtExit, g_eraseSiteDataAtExit);
}

// Once the profile's folders are known: the marker for the next start, and the erasure at
// the process's end.
void markForErasure(const char *marker)
{
    g_storageFolder = QFile::encodeName(g_profile->persistentStoragePath()).toStdString();
    g_cacheFolder = QFile::encodeName(g_profile->cachePath()).toStdString();
    QFile file(g_profile->persistentStoragePath() + QLatin1Char('/') + QLatin1String(marker));
    if (file.open(QIODevice::WriteOnly))
        file.close();
    if (!std::exchange(g_atExitSet, true))
        std::atexit(eraseAtExit);
}

QString userFolder(QStandardPaths::StandardLocation location)
{
    const QString folder = QStandardPaths::writableLocation(location) + QStringLiteral("/sablix");
    QDir().mkpath(folder);
    return folder;
}

void applySpelling(QWebEngineProfile *profile)
{
    const QStringList languages = Spelling::chosenLanguages();
    profile->setSpellCheckLanguages(languages);
    profile->setSpellCheckEnabled(g_spellChecking && !languages.isEmpty());
}

// The user's words go to the engine in its own list; it reads it once, when it starts.
void handWordsToEngine(const QString &storage)
{
    const QStringList words = Spelling::userWords();
    const QString path = storage + QLatin1Char('/') + QLatin1String(kEngineWordsFile);
    if (words.isEmpty() && !QFileInfo::exists(path))
        return;
    QString text;
    for (const QString &word : words)
        text += word + QLatin1Char('\n');
    SafeFile::replace(path, text.toUtf8());
}

// The engine's switches for dark pages: its own darkening of light pages, and the dark
// scheme asked of pages (and of its form controls), which pages that have one use instead.
void addDarkSwitches()
{
    QStringList switches = EngineSwitches::split(qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS"));
    switches << QStringLiteral("--force-dark-mode") << QStringLiteral("--blink-settings=forceDarkModeEnabled=true");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", EngineSwitches::join(switches).toLocal8Bit());
}

void installEngineTranslations()
{
    // The engine's own menus and messages (context menu actions, dialogs) in Chinese.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtwebengine"),
                         QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace

void configure(QWebEngineProfile *profile)
{
    PermissionRequests::configure(profile);
    profile->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh;q=0.9"));

    QWebEngineSettings *settings = profile->settings();
    // Every new-window request has to reach the popup decision; with this off, the engine
    // drops script requests before we see them.
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    // A page may not read or write the clipboard by itself; the menus copy and paste through
    // the engine's own actions.
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    // A local page reads no other local file, and no page reaches remote content from a
    // local one: a saved page or a downloaded document cannot send the user's files away.
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // Content over plain HTTP inside a secure page stays out, and an insecure page does not
    // get the user's location.
    settings->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    settings->setAttribute(QWebEngineSettings::AllowGeolocationOnInsecureOrigins, false);
    // A video may fill the screen; Esc brings it back.
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    // A PDF shows in the page, in the engine's own viewer, and is saved only when the user
    // asks. The viewer is the only plugin this engine has; it needs both switches.
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    settings->setDefaultTextEncoding(QStringLiteral("GBK"));
    // Also turned off by a switch; this holds should the engine not know the switch.
    settings->setAttribute(QWebEngineSettings::WebGLEnabled, !g_enhancedSecurity);

    g_profiles.removeIf([](const QPointer<QWebEngineProfile> &gone) { return gone.isNull(); });
    g_profiles.append(profile);
    applySpelling(profile);

    auto *blocker = new RequestBlocker(profile);
    blocker->setFilter(g_filter);
    profile->setUrlRequestInterceptor(blocker);
    g_blockers.removeIf([](const QPointer<RequestBlocker> &gone) { return gone.isNull(); });
    g_blockers.append(blocker);
    WebEngineDownload::watch(profile, [] { return g_downloads; });
}

QWebEngineProfile *instance()
{
    if (g_profile)
        return g_profile;
    // Pages are composed in software, inside the window's own backing store: the window
    // keeps its one native window for the whole run (composing with OpenGL would make Qt
    // re-create it when the first page arrives), and no OpenGL driver is loaded at all
    // (ApplicationSetup keeps the window system's GL integration out).
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    installEngineTranslations();
    const QString storage = userFolder(QStandardPaths::GenericDataLocation) + QStringLiteral("/engine");
    const QString cache = userFolder(QStandardPaths::GenericCacheLocation) + QStringLiteral("/engine");
    // The last run was to leave nothing behind and ended before it could see to it.
    const QString marker = storage + QLatin1Char('/') + QLatin1String(kEraseMarker);
    if (QFileInfo::exists(marker) && eraseFiles(storage, cache))
        QFile::remove(marker);
    const QString siteDataMarker = storage + QLatin1Char('/') + QLatin1String(kSiteDataMarker);
    if (QFileInfo::exists(siteDataMarker) && eraseSiteData(QFile::encodeName(storage).toStdString()))
        QFile::remove(siteDataMarker);
    // The first profile starts the engine, with the switches chosen here and no others.
    EngineSwitches::apply(g_enhancedSecurity);
    if (g_darkPages)
        addDarkSwitches();
    // The engine reads its dictionaries from one folder, named before it starts.
    const QString dictionaries = Spelling::dictionaryFolder();
    if (!dictionaries.isEmpty() && qEnvironmentVariableIsEmpty("QTWEBENGINE_DICTIONARIES_PATH"))
        qputenv("QTWEBENGINE_DICTIONARIES_PATH", QFile::encodeName(dictionaries));
    handWordsToEngine(storage);
    g_profile = new QWebEngineProfile(QStringLiteral("default"));
    g_profile->setPersistentStoragePath(storage);
    g_profile->setCachePath(cache);
    g_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    g_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    configure(g_profile);
    g_data = new WebEngineBrowsingData(g_profile);
    SitePermissions::setRevokedHook([](const QString &site, int feature) { PermissionRequests::revoke(g_profile, site, feature); });
    return g_profile;
}

WebEngineBrowsingData *browsingData()
{
    instance();
    return g_data;
}

void setContentFilter(ContentFilter *filter)
{
    g_filter = filter;
    for (const QPointer<RequestBlocker> &blocker : std::as_const(g_blockers))
        if (blocker)
            blocker->setFilter(filter);
}

ContentFilter *contentFilter()
{
    return g_filter;
}

void setDownloadHandler(DownloadHandler *handler)
{
    g_downloads = handler;
}

void setEnhancedSecurity(bool on)
{
    if (g_profile && on != g_enhancedSecurity)
        qCWarning(lcEngine) << "enhanced security changes with the next start: the engine runs already";
    if (!g_profile)
        g_enhancedSecurity = on;
}

void setSpellChecking(bool on)
{
    g_spellChecking = on;
    for (const QPointer<QWebEngineProfile> &profile : std::as_const(g_profiles))
        if (profile)
            applySpelling(profile);
}

void setSpellingLanguages(const QStringList &languages)
{
    Spelling::setChosenLanguages(languages);
    for (const QPointer<QWebEngineProfile> &profile : std::as_const(g_profiles))
        if (profile)
            applySpelling(profile);
}

bool addSpellingWord(const QString &word)
{
    if (!Spelling::addUserWord(word))
        return false;
    if (!g_wordsAddedThisRun.contains(word))
        g_wordsAddedThisRun << word;
    if (g_profile)
        handWordsToEngine(g_profile->persistentStoragePath());
    return true;
}

bool wasAddedThisRun(const QString &word)
{
    return g_wordsAddedThisRun.contains(word);
}

bool setDarkPages(bool on)
{
    if (!g_profile)
        g_darkPages = on;
    return !g_profile || on == g_darkPages;
}

bool eraseFiles(const QString &storageFolder, const QString &cacheFolder)
{
    return eraseFolders(QFile::encodeName(storageFolder).toStdString(), QFile::encodeName(cacheFolder).toStdString());
}

void eraseSiteDataAtEnd()
{
    if (!g_profile || g_eraseSiteDataAtRelease)
        return;
    g_eraseSiteDataAtRelease = g_eraseSiteDataAtExit = true;
    markForErasure(kSiteDataMarker);
}

void eraseFilesAtEnd()
{
    if (!g_profile || g_eraseAtRelease)
        return;
    g_eraseAtRelease = g_eraseAtExit = true;
    markForErasure(kEraseMarker);
    // Now as well: a program ended at once after this (the boss key) leaves nothing either.
    // The engine goes on writing to files no longer in the folder.
    eraseFolders(g_storageFolder, g_cacheFolder);
}

void release()
{
    if (g_profile)
        g_profile->setUrlRequestInterceptor(nullptr);
    delete g_profile;
    g_profile = nullptr;
    g_blockers.removeIf([](const QPointer<RequestBlocker> &blocker) { return blocker.isNull(); });
    g_data = nullptr;
    SitePermissions::setRevokedHook({});
    // The engine has let go of its files; what it still writes while the process ends goes
    // at its end.
    eraseAsked(g_eraseAtRelease, g_eraseSiteDataAtRelease);
    g_eraseAtRelease = g_eraseSiteDataAtRelease = false;
}

} // namespace WebEngineProfile
