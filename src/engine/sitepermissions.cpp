#include "sitepermissions.h"

#include "../core/safefile.h"

#include <QSettings>
#include <QStandardPaths>

namespace SitePermissions {
namespace {

QSettings store()
{
    return QSettings(file(), QSettings::IniFormat);
}

// QSettings opens the file by name and waits on a FIFO: a file we would not read is not
// handed to it, and no answer is kept or changed while it is there.
bool usable()
{
    return SafeFile::acceptable(file());
}

// One group per site (percent-encoded, so that no character of it is taken for a path),
// one key per feature: the layout the answers have always been kept in.
QString keyOf(const QString &site, int feature)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(site)) + QLatin1Char('/') + QString::number(feature);
}

RevokedHook &revokedHook()
{
    static RevokedHook hook;
    return hook;
}

} // namespace

QString file()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/sablix/engine/permissions.ini");
}

QString siteOf(const QUrl &origin, const QUrl &page)
{
    if (origin.scheme() == QLatin1String("file") || page.scheme() == QLatin1String("file") || origin.host().isEmpty()) {
        QUrl own = page.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo);
        return own.toString(QUrl::FullyEncoded);
    }
    return origin.scheme() + QStringLiteral("://") + origin.host() + QLatin1Char(':') + QString::number(origin.port());
}

QString decision(const QString &site, int feature)
{
    if (site.isEmpty() || !usable())
        return {};
    return store().value(keyOf(site, feature)).toString();
}

void setDecision(const QString &site, int feature, bool allowed)
{
    if (site.isEmpty() || !usable())
        return;
    QSettings settings = store();
    settings.setValue(keyOf(site, feature), allowed ? QStringLiteral("allow") : QStringLiteral("deny"));
}

QList<Answer> answers()
{
    QList<Answer> found;
    if (!usable())
        return found;
    QSettings settings = store();
    for (const QString &group : settings.childGroups()) {
        const QString site = QUrl::fromPercentEncoding(group.toLatin1());
        // A local page's answer of old was kept for every local page at once: not one to use.
        if (site.startsWith(QLatin1String("file://:")))
            continue;
        settings.beginGroup(group);
        for (const QString &key : settings.childKeys()) {
            bool number = false;
            const int feature = key.toInt(&number);
            const QString value = settings.value(key).toString();
            if (number && (value == QLatin1String("allow") || value == QLatin1String("deny")))
                found.append({site, feature, value == QLatin1String("allow")});
        }
        settings.endGroup();
    }
    return found;
}

void revoke(const QString &site, int feature)
{
    if (!usable())
        return;
    {
        QSettings settings = store();
        settings.remove(keyOf(site, feature));
    }
    if (revokedHook())
        revokedHook()(site, feature);
}

void forgetAll()
{
    for (const Answer &answer : answers())
        revoke(answer.site, answer.feature);
    if (!usable())
        return;
    QSettings settings = store();
    settings.clear();
}

QString featureName(int feature)
{
    switch (feature) {
    case Geolocation:
        return QStringLiteral("您的位置");
    case MediaAudioCapture:
        return QStringLiteral("麦克风");
    case MediaVideoCapture:
        return QStringLiteral("摄像头");
    case MediaAudioVideoCapture:
        return QStringLiteral("摄像头和麦克风");
    case Notifications:
        return QStringLiteral("显示通知");
    case DesktopVideoCapture:
    case DesktopAudioVideoCapture:
        return QStringLiteral("共享您的屏幕");
    case MouseLock:
        return QStringLiteral("锁定鼠标指针");
    default:
        return QStringLiteral("未知的功能");
    }
}

void setRevokedHook(RevokedHook hook)
{
    revokedHook() = std::move(hook);
}

} // namespace SitePermissions
