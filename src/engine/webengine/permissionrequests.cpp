#include "permissionrequests.h"

#include "../sitepermissions.h"

#include <QWebEnginePage>
#include <QWebEngineProfile>

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QWebEnginePermission>
#define SABLIX_PERMISSION_OBJECTS 1
#else
#define SABLIX_PERMISSION_OBJECTS 0
#endif

#if SABLIX_PERMISSION_OBJECTS

using Type = QWebEnginePermission::PermissionType;

struct PermissionRequests::Question
{
    QWebEnginePermission permission;
    int feature;
};

namespace {

// -1: nothing the user is asked about here (the clipboard, the local fonts: refused, as the
// settings refuse them to pages).
int featureOf(Type type)
{
    switch (type) {
    case Type::Notifications:
        return SitePermissions::Notifications;
    case Type::Geolocation:
        return SitePermissions::Geolocation;
    case Type::MediaAudioCapture:
        return SitePermissions::MediaAudioCapture;
    case Type::MediaVideoCapture:
        return SitePermissions::MediaVideoCapture;
    case Type::MediaAudioVideoCapture:
        return SitePermissions::MediaAudioVideoCapture;
    case Type::MouseLock:
        return SitePermissions::MouseLock;
    case Type::DesktopVideoCapture:
        return SitePermissions::DesktopVideoCapture;
    case Type::DesktopAudioVideoCapture:
        return SitePermissions::DesktopAudioVideoCapture;
    default:
        return -1;
    }
}

Type typeOf(int feature)
{
    for (int raw = 0; raw <= int(Type::LocalFontsAccess); ++raw)
        if (featureOf(Type(raw)) == feature)
            return Type(raw);
    return Type::Unsupported;
}

} // namespace

PermissionRequests::PermissionRequests(QWebEnginePage *page) : QObject(page), m_page(page)
{
    connect(page, &QWebEnginePage::permissionRequested, this, [this](QWebEnginePermission permission) {
        const int feature = featureOf(permission.permissionType());
        if (feature < 0) {
            permission.deny();
            return;
        }
        m_open << std::make_shared<Question>(Question{permission, feature});
        emit asked(permission.origin(), feature);
    });
    // This engine says nothing when a question lapses; a question about a page left behind
    // no longer takes an answer.
    connect(page, &QWebEnginePage::urlChanged, this, &PermissionRequests::forgetGone);
}

void PermissionRequests::answer(const QUrl &origin, int feature, bool granted)
{
    for (auto it = m_open.begin(); it != m_open.end();) {
        const Question &question = **it;
        if (question.feature == feature && question.permission.origin() == origin) {
            if (granted)
                question.permission.grant();
            else
                question.permission.deny();
            it = m_open.erase(it);
        } else {
            ++it;
        }
    }
}

void PermissionRequests::forgetGone()
{
    for (auto it = m_open.begin(); it != m_open.end();) {
        if ((*it)->permission.isValid()) {
            ++it;
            continue;
        }
        const std::shared_ptr<Question> gone = *it;
        it = m_open.erase(it);
        emit withdrawn(gone->permission.origin(), gone->feature);
    }
}

void PermissionRequests::configure(QWebEngineProfile *profile)
{
    // Left to itself, this engine would keep the answers in a file of its own, past the run
    // and out of reach of a revoke, and answer again by them without asking.
    profile->setPersistentPermissionsPolicy(QWebEngineProfile::PersistentPermissionsPolicy::AskEveryTime);
}

void PermissionRequests::revoke(QWebEngineProfile *profile, const QString &site, int feature)
{
    // What the engine still holds (and tells a page that looks, e.g. Notification.permission)
    // goes: the page is asked again.
    const Type type = typeOf(feature);
    if (profile && type != Type::Unsupported && QWebEnginePermission::isPersistent(type))
        profile->queryPermission(QUrl(site), type).reset();
}

#else // the per-feature calls of the page

struct PermissionRequests::Question
{
};

PermissionRequests::PermissionRequests(QWebEnginePage *page) : QObject(page), m_page(page)
{
    connect(page, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl &origin, QWebEnginePage::Feature feature) { emit asked(origin, int(feature)); });
    connect(page, &QWebEnginePage::featurePermissionRequestCanceled, this,
            [this](const QUrl &origin, QWebEnginePage::Feature feature) { emit withdrawn(origin, int(feature)); });
}

void PermissionRequests::answer(const QUrl &origin, int feature, bool granted)
{
    m_page->setFeaturePermission(origin, QWebEnginePage::Feature(feature),
                                 granted ? QWebEnginePage::PermissionGrantedByUser : QWebEnginePage::PermissionDeniedByUser);
}

void PermissionRequests::forgetGone() {}

void PermissionRequests::configure(QWebEngineProfile *) {}

void PermissionRequests::revoke(QWebEngineProfile *profile, const QString &site, int feature)
{
    // This engine keeps notifications and location itself for the run, with no way to take
    // an answer back: a revoked one is refused from now on, and asked again from the next
    // start.
    const QUrl origin(site);
    const bool keptByEngine = feature == SitePermissions::Notifications || feature == SitePermissions::Geolocation;
    if (!profile || !keptByEngine || origin.scheme() == QLatin1String("file") || origin.host().isEmpty())
        return;
    QWebEnginePage page(profile);
    page.load(QUrl(QStringLiteral("about:blank")));
    page.setFeaturePermission(origin, QWebEnginePage::Feature(feature), QWebEnginePage::PermissionDeniedByUser);
}

#endif
