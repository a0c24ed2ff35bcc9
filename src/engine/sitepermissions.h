#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

// The user's answers to pages that asked to use a feature (camera, microphone, location,
// notifications, screen sharing), kept per site in the engine's folder
// ($XDG_DATA_HOME/sablix/engine/permissions.ini): seen and revoked in the Internet options,
// forgotten by "全部清除" when the user says so.
namespace SitePermissions {

// The features, numbered as the engine numbers them.
enum Feature {
    Notifications = 0,
    Geolocation = 1,
    MediaAudioCapture = 2,
    MediaVideoCapture = 3,
    MediaAudioVideoCapture = 4,
    MouseLock = 5,
    DesktopVideoCapture = 6,
    DesktopAudioVideoCapture = 7,
};

struct Answer
{
    QString site; // "https://host:port", or a local page's own address
    int feature = 0;
    bool allowed = false;
};

QString file();

// The site an answer is kept for: the origin's scheme, host and port; a local page (whose
// origin says nothing about which file it is) is its own site, by its full path, so that
// two local pages never share an answer.
QString siteOf(const QUrl &origin, const QUrl &page);

// "allow", "deny", or empty when there is no answer.
QString decision(const QString &site, int feature);
void setDecision(const QString &site, int feature, bool allowed);
QList<Answer> answers();
void revoke(const QString &site, int feature);
void forgetAll();

// What a page asks for, in a few words ("您的位置", "摄像头", ...).
QString featureName(int feature);

// The engine, told that an answer was revoked while it runs (it keeps some answers itself).
using RevokedHook = std::function<void(const QString &site, int feature)>;
void setRevokedHook(RevokedHook hook);

} // namespace SitePermissions
