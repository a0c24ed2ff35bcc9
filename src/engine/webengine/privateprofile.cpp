#include "privateprofile.h"

#include "../downloaditem.h"
#include "webengineprofile.h"

#include <QCoreApplication>
#include <QList>
#include <QPointer>
#include <QWebEngineProfile>

namespace PrivateProfile {
namespace {

QPointer<QWebEngineProfile> g_current;
int g_pages = 0;
// Profiles let go of that have not gone yet (a download of theirs still runs, or the event
// loop has not come round).
QList<QPointer<QWebEngineProfile>> g_leaving;

bool downloadsRunning(QWebEngineProfile *profile)
{
    for (const DownloadItem *item : profile->findChildren<DownloadItem *>())
        if (item->state() == DownloadItem::InProgress || item->state() == DownloadItem::Paused)
            return true;
    return false;
}

void drop(QWebEngineProfile *profile)
{
    // The downloads window still shows what came of its downloads.
    for (DownloadItem *item : profile->findChildren<DownloadItem *>())
        item->setParent(QCoreApplication::instance());
    // Later: the engine may still be inside a call of the page that has just gone.
    profile->deleteLater();
}

void dropWhenIdle(QWebEngineProfile *profile)
{
    if (!profile)
        return;
    if (!downloadsRunning(profile)) {
        drop(profile);
        return;
    }
    // A download from a private page goes on where the user said; the profile goes after it.
    for (DownloadItem *item : profile->findChildren<DownloadItem *>())
        QObject::connect(item, &DownloadItem::changed, profile, [profile] {
            if (!downloadsRunning(profile))
                drop(profile);
        });
}

} // namespace

QWebEngineProfile *acquire()
{
    if (!g_current) {
        // The engine and its translations start with the user's profile.
        WebEngineProfile::instance();
        // No storage name: off the record.
        g_current = new QWebEngineProfile;
        WebEngineProfile::configure(g_current);
    }
    ++g_pages;
    return g_current;
}

void pageGone(QWebEngineProfile *profile)
{
    if (!profile || profile != g_current || --g_pages > 0)
        return;
    // The next private page gets a profile of its own, with nothing of this one's.
    g_current = nullptr;
    g_leaving.removeIf([](const QPointer<QWebEngineProfile> &left) { return left.isNull(); });
    g_leaving.append(profile);
    dropWhenIdle(profile);
}

void releaseAll()
{
    // The pages are gone by now, and downloads still running were cancelled.
    if (g_current)
        g_leaving.append(g_current.data());
    g_current = nullptr;
    g_pages = 0;
    for (const QPointer<QWebEngineProfile> &profile : std::exchange(g_leaving, {})) {
        if (!profile)
            continue;
        for (DownloadItem *item : profile->findChildren<DownloadItem *>())
            item->setParent(QCoreApplication::instance());
        delete profile.data();
    }
}

} // namespace PrivateProfile
