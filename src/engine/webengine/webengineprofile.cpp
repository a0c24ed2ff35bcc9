#include "webengineprofile.h"

#include "requestblocker.h"
#include "webenginebrowsingdata.h"
#include "webenginedownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QTranslator>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace WebEngineProfile {
namespace {

QWebEngineProfile *g_profile = nullptr;
RequestBlocker *g_blocker = nullptr;
WebEngineBrowsingData *g_data = nullptr;
DownloadHandler *g_downloads = nullptr;
ContentFilter *g_filter = nullptr;

QString userFolder(QStandardPaths::StandardLocation location)
{
    const QString folder = QStandardPaths::writableLocation(location) + QStringLiteral("/sablix");
    QDir().mkpath(folder);
    return folder;
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

QWebEngineProfile *instance()
{
    if (g_profile)
        return g_profile;
    // Pages are composed in software, inside the window's own backing store: the window
    // keeps its one native window for the whole run (composing with OpenGL would make Qt
    // re-create it when the first page arrives), and no OpenGL driver is loaded at all.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    installEngineTranslations();
    g_profile = new QWebEngineProfile(QStringLiteral("default"));
    g_profile->setPersistentStoragePath(userFolder(QStandardPaths::GenericDataLocation) +
                                        QStringLiteral("/engine"));
    g_profile->setCachePath(userFolder(QStandardPaths::GenericCacheLocation) +
                            QStringLiteral("/engine"));
    g_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    g_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    g_profile->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh;q=0.9"));

    QWebEngineSettings *settings = g_profile->settings();
    // Every new-window request has to reach the popup decision; with this off, the engine
    // drops script requests before we see them.
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    // A page may not read or write the clipboard by itself; the menus copy and paste through
    // the engine's own actions.
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    // A video may fill the screen; Esc brings it back.
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    settings->setDefaultTextEncoding(QStringLiteral("GBK"));

    g_blocker = new RequestBlocker(g_profile);
    g_blocker->setFilter(g_filter);
    g_profile->setUrlRequestInterceptor(g_blocker);
    g_data = new WebEngineBrowsingData(g_profile);
    WebEngineDownload::watch(g_profile, [] { return g_downloads; });
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
    if (g_blocker)
        g_blocker->setFilter(filter);
}

ContentFilter *contentFilter()
{
    return g_filter;
}

void setDownloadHandler(DownloadHandler *handler)
{
    g_downloads = handler;
}

void release()
{
    if (g_profile)
        g_profile->setUrlRequestInterceptor(nullptr);
    delete g_profile;
    g_profile = nullptr;
    g_blocker = nullptr;
    g_data = nullptr;
}

} // namespace WebEngineProfile
