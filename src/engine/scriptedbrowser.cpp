#include "scriptedbrowser.h"

#include "internetoptions.h"

#include <QTimer>

#include <utility>

namespace {

class ScriptedRequest : public NewWindowRequest
{
public:
    ScriptedRequest(QString url, bool background) : m_url(std::move(url)), m_background(background) {}
    QString requestedUrl() const override { return m_url; }
    bool isLinkOpenedInBackground() const override { return m_background; }
    void openIn(TEmbeddedWB *target) override { m_target = target; }
    TEmbeddedWB *target() const { return m_target; }

private:
    QString m_url;
    bool m_background;
    TEmbeddedWB *m_target = nullptr;
};

} // namespace

ScriptedBrowser::ScriptedBrowser(QWidget *parent) : TEmbeddedWB(parent) {}

void ScriptedBrowser::request(const QString &address)
{
    m_requested = address;
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) == 0) {
        // A blank page loads at once and without the network: never busy.
        m_pending.clear();
        m_busy = false;
    } else {
        m_pending = address;
        m_busy = true;
    }
    if (playsNavigations) {
        QPointer<ScriptedBrowser> self = this;
        QTimer::singleShot(0, this, [self, address] {
            // A later request replaces this one, as in the engine.
            if (self && self->m_requested == address)
                self->commitNavigation(address, address.section(QLatin1Char('/'), -1));
        });
    }
}

void ScriptedBrowser::Navigate(const QString &address)
{
    calls << QStringLiteral("Navigate ") + address;
    request(address);
}

void ScriptedBrowser::NavigateSecureFirst(const QString &secure, const QString &insecure)
{
    calls << QStringLiteral("NavigateSecureFirst ") + secure + QLatin1Char(' ') + insecure;
    request(secure);
    insecureFallback = insecure;
}

void ScriptedBrowser::refuseSecure()
{
    const QString insecure = std::exchange(insecureFallback, QString());
    if (insecure.isEmpty())
        return;
    request(insecure);
    emit InsecureFallback(insecure);
}

void ScriptedBrowser::GoBack()
{
    calls << QStringLiteral("GoBack");
}

void ScriptedBrowser::GoForward()
{
    calls << QStringLiteral("GoForward");
}

void ScriptedBrowser::GoHome()
{
    calls << QStringLiteral("GoHome");
    request(InternetOptions::homePage());
}

void ScriptedBrowser::Refresh()
{
    calls << QStringLiteral("Refresh");
}

void ScriptedBrowser::Stop()
{
    calls << QStringLiteral("Stop");
    failNavigation();
}

void ScriptedBrowser::failNavigation()
{
    m_busy = false;
    if (!m_locationUrl.isEmpty())
        m_pending.clear();
}

void ScriptedBrowser::ExecWB(int command, int option, const QVariant &in, QVariant *out)
{
    calls << QStringLiteral("ExecWB %1 %2 %3").arg(command).arg(option).arg(in.toString());
    if (command == ExecZoom) {
        if (in.isValid())
            m_textSize = in.toInt();
        else if (out)
            *out = m_textSize;
    }
}

void ScriptedBrowser::setSilent(bool silent)
{
    calls << QStringLiteral("Silent %1").arg(silent);
}

void ScriptedBrowser::setRegisterAsDropTarget(bool accept)
{
    calls << QStringLiteral("RegisterAsDropTarget %1").arg(accept);
}

void ScriptedBrowser::postFrameMessage(const QString &json)
{
    QTimer::singleShot(0, this, [this, json] { emit FrameMessage(json); });
}

void ScriptedBrowser::runDocumentScript(const QString &script, const ScriptResult &done)
{
    calls << QStringLiteral("Script ") + script;
    const QVariant result = scriptResponder ? scriptResponder(script) : QVariant();
    if (done)
        QTimer::singleShot(0, this, [done, result] { done(result); });
}

void ScriptedBrowser::findText(const QString &text, bool matchCase, bool backward, const FindResult &done)
{
    calls << QStringLiteral("Find %1 %2 %3").arg(text).arg(matchCase).arg(backward);
    const int matches = findResponder ? findResponder(text, matchCase) : 0;
    if (done)
        QTimer::singleShot(0, this, [done, matches] { done(matches); });
}

void ScriptedBrowser::focusDocument()
{
    calls << QStringLiteral("FocusDocument");
}

void ScriptedBrowser::setLocation(const QString &url, const QString &name)
{
    m_pending.clear();
    m_locationUrl = url;
    m_locationName = name.isEmpty() ? url : name;
}

void ScriptedBrowser::commitNavigation(const QString &url, const QString &title)
{
    const QString address = url.isEmpty() ? m_requested : url;
    m_busy = true;
    emit DownloadBegin();
    m_document = true;
    setLocation(address, title);
    emit NavigateComplete2();
    if (!title.isEmpty())
        emit TitleChange(title);
    m_busy = false;
    emit DownloadComplete();
    emit DocumentComplete();
}

ScriptedBrowser::PlayedRequest ScriptedBrowser::requestNewWindow(const QString &url,
                                                                 bool linkInBackground)
{
    ScriptedRequest request(url, linkInBackground);
    emit NewWindow2(&request);
    return {request.target() != nullptr, request.target()};
}

void ScriptedEngine::load()
{
    if (loaded)
        return;
    loaded = true;
    if (beforeStart)
        beforeStart();
}

TEmbeddedWB *ScriptedEngine::createBrowser(QWidget *parent)
{
    if (failing)
        return nullptr;
    load();
    auto *browser = new ScriptedBrowser(parent);
    browser->playsNavigations = playsNavigations;
    created.append(browser);
    return browser;
}

TEmbeddedWB *ScriptedEngine::createPrivateBrowser(QWidget *parent)
{
    auto *browser = static_cast<ScriptedBrowser *>(createBrowser(parent));
    if (!browser)
        return nullptr;
    std::shared_ptr<ScriptedBrowsingData> profile = privateProfile.lock();
    if (!profile) {
        profile = std::make_shared<ScriptedBrowsingData>();
        privateProfile = profile;
        ++privateProfilesMade;
    }
    browser->privateData = profile;
    return browser;
}

void ScriptedBrowsingData::deleteCookie(const Cookie &cookie)
{
    cookieJar.removeIf([&cookie](const Cookie &held) { return held.raw == cookie.raw; });
}

void ScriptedBrowsingData::whenCleared(int ms, std::function<void(bool)> done)
{
    // Later, from the event loop, as the engine answers; an engine that hangs answers at
    // the bound.
    QTimer::singleShot(clearingConfirms ? 0 : ms, [done, confirmed = clearingConfirms] { done(confirmed); });
}

void ScriptedBrowsingData::deleteSessionCookies()
{
    cookieJar.removeIf([](const Cookie &held) { return held.session(); });
}

void ScriptedBrowser::setRest(Rest rest)
{
    // As the engine: a page on screen stays active.
    if (isVisible() && rest != Rest::Active)
        return;
    if (m_rest == Rest::Discarded && rest == Rest::Active)
        ++reloadsAfterDiscard;
    m_rest = rest;
}

TEmbeddedWB::Rest ScriptedBrowser::restAllowed() const
{
    if (isVisible() || m_busy || audible)
        return Rest::Active;
    return Rest::Discarded;
}
