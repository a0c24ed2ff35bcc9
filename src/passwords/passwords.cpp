#include "passwords.h"

#include "../core/offthread.h"
#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"
#include "loginlist.h"
#include "passwordscripts.h"
#include "passwordslog.h"
#include "savebar.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

Passwords::Passwords(TFormWebbrowser *pages, EngineFactory *engine, QObject *parent)
    : QObject(parent), m_pages(pages)
{
    engine->addFrameScript(PasswordScripts::frameScript());
    connect(pages, &TFormWebbrowser::frameMessage, this, &Passwords::frameMessage);
    connect(pages, &TFormWebbrowser::pageLoadStarted, this, &Passwords::pageLoadStarted);
}

Passwords::~Passwords() = default;

Passwords::PageState &Passwords::state(TEmbeddedWB *page)
{
    if (!m_states.contains(page))
        connect(page, &QObject::destroyed, this, [this, page] { m_states.remove(page); });
    return m_states[page];
}

void Passwords::frameMessage(TEmbeddedWB *page, const QString &json)
{
    const QJsonObject message = QJsonDocument::fromJson(json.toUtf8()).object();
    Frame frame;
    frame.origin = message.value(QLatin1String("origin")).toString();
    const QUrl origin(frame.origin);
    if (origin.scheme() != QLatin1String("http") && origin.scheme() != QLatin1String("https"))
        return;
    if (message.value(QLatin1String("frame")).isObject()) {
        const QJsonObject where = message.value(QLatin1String("frame")).toObject();
        frame.reachable = true;
        for (const QJsonValue &step : where.value(QLatin1String("path")).toArray())
            frame.path.append(step.toInt(-1));
        frame.reachable = !frame.path.contains(-1);
        frame.offset = QPointF(where.value(QLatin1String("x")).toDouble(), where.value(QLatin1String("y")).toDouble());
    }
    frame.zoom = message.value(QLatin1String("z")).toDouble(1.0);
    const QString kind = message.value(QLatin1String("kind")).toString();
    qCDebug(lcPasswords).noquote() << "frame message:" << kind << "from" << frame.origin;
    if (kind == QLatin1String("forms"))
        formsShown(page, frame, LoginForm::fieldsFromJson(message.value(QLatin1String("fields")).toArray()));
    else if (kind == QLatin1String("focus"))
        fieldFocused(page, frame, message);
    else if (kind == QLatin1String("blur"))
        hideList(page);
    else if (kind == QLatin1String("submit") || kind == QLatin1String("candidate"))
        formSent(page, frame, message, kind == QLatin1String("submit"));
}

void Passwords::pageLoadStarted(TEmbeddedWB *page)
{
    hideList(page);
    auto found = m_states.find(page);
    if (found == m_states.end())
        return;
    ++found->loads;
    if (!found->candidate)
        return;
    const SavedLogin login = *found->candidate;
    found->candidate.reset();
    offer(page, login);
}

void Passwords::lookUp(TEmbeddedWB *page, const QString &origin, bool mayAsk, bool probe,
                       std::function<void(TEmbeddedWB *, const Lookup &)> then)
{
    const QPointer<TEmbeddedWB> guard(page);
    offThread<Lookup>(
        this,
        [origin, mayAsk, probe, generation = m_cacheGeneration] {
            Keyring keyring; // its own: the interface thread's may be in use meanwhile
            Lookup found;
            found.cacheGeneration = generation;
            found.available = !probe || keyring.available();
            if (found.available)
                found.logins = keyring.logins(origin, mayAsk);
            found.error = keyring.lastError();
            return found;
        },
        [guard, origin, then = std::move(then)](const Lookup &found) {
            qCDebug(lcPasswords).noquote() << "the keyring answered for" << origin;
            if (guard)
                then(guard, found);
        });
}

void Passwords::remember(const QString &origin, const Lookup &found)
{
    if (found.cacheGeneration == m_cacheGeneration)
        m_cache.insert(origin, found.logins);
}

void Passwords::forget(const QString &origin)
{
    m_cache.remove(origin);
    ++m_cacheGeneration;
}

void Passwords::formsShown(TEmbeddedWB *page, const Frame &frame, const QList<FormField> &fields)
{
    qCDebug(lcPasswords).noquote() << "login fields shown in" << frame.origin << (frame.reachable ? "" : "(a frame out of reach)");
    // Filled on load only on an https page with exactly one login for it; an http page waits
    // for the user's click in the list.
    if (!frame.reachable || QUrl(frame.origin).scheme() != QLatin1String("https"))
        return;
    QList<int> forms;
    for (const FormField &field : fields)
        if (!forms.contains(field.form))
            forms.append(field.form);
    for (int form : forms) {
        const QList<FormField> own = LoginForm::sameForm(fields, form);
        const LoginFields targets = LoginForm::fillTargets(own);
        if (targets.password < 0)
            continue;
        auto cached = m_cache.constFind(frame.origin);
        if (cached != m_cache.constEnd()) {
            if (cached->size() == 1)
                fill(page, frame, own, targets, cached->first());
            return;
        }
        // A page that merely loaded never makes the keyring ask to be opened.
        const quint64 load = state(page).loads;
        lookUp(page, frame.origin, false, false, [this, frame, own, targets, load](TEmbeddedWB *page, const Lookup &found) {
            if (state(page).loads == load && found.logins.size() == 1)
                fill(page, frame, own, targets, found.logins.first());
        });
        return;
    }
}

void Passwords::fieldFocused(TEmbeddedWB *page, const Frame &frame, const QJsonObject &message)
{
    hideList(page);
    if (!frame.reachable)
        return;
    const QList<FormField> fields = LoginForm::fieldsFromJson(message.value(QLatin1String("fields")).toArray());
    const int focused = message.value(QLatin1String("field")).toInt(-1);
    auto at = std::find_if(fields.begin(), fields.end(), [focused](const FormField &f) { return f.index == focused; });
    if (at == fields.end())
        return;
    const QList<FormField> form = LoginForm::sameForm(fields, at->form);
    const LoginFields targets = LoginForm::fillTargets(form);
    const bool isTarget = (targets.user >= 0 && form[targets.user].index == focused) ||
                          (targets.password >= 0 && form[targets.password].index == focused);
    if (!isTarget)
        return;
    const QJsonArray rect = message.value(QLatin1String("rect")).toArray();
    const double scale = frame.zoom / qMax(0.1, page->devicePixelRatioF());
    const QPointF topLeft = (frame.offset + QPointF(rect.at(0).toDouble(), rect.at(1).toDouble())) * scale;
    const QRect field = QRectF(topLeft, QSizeF(rect.at(2).toDouble(), rect.at(3).toDouble()) * scale).toAlignedRect()
                            .translated(page->documentOrigin());
    auto cached = m_cache.constFind(frame.origin);
    if (cached != m_cache.constEnd()) {
        showUsers(page, frame, form, targets, field, *cached);
        return;
    }
    // Shown when the keyring answers, if the field still has the focus.
    const quint64 focus = state(page).focuses;
    lookUp(page, frame.origin, true, false, [this, frame, form, targets, field, focus](TEmbeddedWB *page, const Lookup &found) {
        if (!found.error.isEmpty())
            qCInfo(lcPasswords).noquote() << "logins of" << frame.origin << "not read:" << found.error;
        remember(frame.origin, found);
        if (state(page).focuses == focus)
            showUsers(page, frame, form, targets, field, found.logins);
    });
}

void Passwords::showUsers(TEmbeddedWB *page, const Frame &frame, const QList<FormField> &form, const LoginFields &targets,
                          const QRect &field, const QList<SavedLogin> &logins)
{
    if (logins.isEmpty())
        return;
    PageState &s = state(page);
    if (!s.list) {
        s.list = new LoginList(page);
    }
    s.list->disconnect(this);
    QStringList users;
    for (const SavedLogin &login : logins)
        users.append(login.user);
    const QPointer<TEmbeddedWB> guard(page);
    connect(s.list, &LoginList::chosen, this, [this, guard, frame, form, targets, logins](int row) {
        if (guard && row >= 0 && row < logins.size())
            fill(guard, frame, form, targets, logins.at(row));
    });
    s.list->showUsers(users, field);
}

void Passwords::hideList(TEmbeddedWB *page)
{
    auto found = m_states.find(page);
    if (found == m_states.end())
        return;
    ++found->focuses;
    if (found->list)
        found->list->hide();
}

void Passwords::fill(TEmbeddedWB *page, const Frame &frame, const QList<FormField> &form, const LoginFields &targets,
                     const SavedLogin &login)
{
    PasswordScripts::FillTarget target;
    target.framePath = frame.path;
    target.origin = frame.origin;
    if (targets.user >= 0)
        target.user = form[targets.user];
    if (targets.password >= 0)
        target.password = form[targets.password];
    page->runDocumentScript(PasswordScripts::fillScript(target, login.user, login.password), [](const QVariant &filled) {
        if (!filled.toBool())
            qCInfo(lcPasswords) << "a login was not filled: the fields changed or are out of reach";
        else
            qCDebug(lcPasswords) << "a login was filled";
    });
}

void Passwords::formSent(TEmbeddedWB *page, const Frame &frame, const QJsonObject &message, bool surely)
{
    // Private pages fill but never keep anything.
    if (TFormWebbrowser::isPrivate(page) || m_never.contains(frame.origin))
        return;
    const std::optional<SubmittedLogin> sent =
        LoginForm::submitted(LoginForm::fieldsFromJson(message.value(QLatin1String("fields")).toArray()));
    if (!sent)
        return;
    PageState &s = state(page);
    if (sent->password.isEmpty()) {
        s.firstStepOrigin = frame.origin;
        s.firstStepUser = sent->user;
        return;
    }
    SavedLogin login;
    login.origin = frame.origin;
    login.action = message.value(QLatin1String("action")).toString();
    login.user = sent->user;
    if (login.user.isEmpty() && s.firstStepOrigin == frame.origin)
        login.user = s.firstStepUser;
    login.password = sent->password;
    if (surely) {
        s.candidate.reset();
        offer(page, login);
    } else {
        s.candidate = login;
    }
}

void Passwords::offer(TEmbeddedWB *page, const SavedLogin &login)
{
    state(page).firstStepUser.clear();
    forget(login.origin);
    lookUp(page, login.origin, true, true,
           [this, login](TEmbeddedWB *page, const Lookup &found) { offerAfterLookup(page, login, found); });
}

void Passwords::offerAfterLookup(TEmbeddedWB *page, const SavedLogin &login, const Lookup &found)
{
    PageState &s = state(page);
    const QString host = QUrl(login.origin).host();
    if (s.bar)
        s.bar->deleteLater();
    if (!found.available) {
        qCWarning(lcPasswords).noquote() << "no keyring: a password was not kept:" << found.error;
        if (m_noKeyringSaid)
            return;
        m_noKeyringSaid = true;
        qCDebug(lcPasswords) << "said: no keyring";
        s.bar = new PasswordSaveBar(PasswordSaveBar::NoKeyring, host, login.user);
        m_pages->addPageBar(page, s.bar);
        return;
    }
    if (!found.error.isEmpty())
        qCInfo(lcPasswords).noquote() << "logins of" << login.origin << "not read:" << found.error;
    remember(login.origin, found);
    const QList<SavedLogin> &saved = found.logins;
    auto same = std::find_if(saved.begin(), saved.end(), [&login](const SavedLogin &l) { return l.user == login.user; });
    if (same != saved.end() && same->password == login.password)
        return; // nothing new
    const auto kind = same == saved.end() ? PasswordSaveBar::Save : PasswordSaveBar::Update;
    qCDebug(lcPasswords).noquote() << "offering to keep a login for" << login.origin;
    auto *bar = new PasswordSaveBar(kind, host, login.user);
    s.bar = bar;
    connect(bar, &PasswordSaveBar::saveRequested, this, [this, login] {
        forget(login.origin);
        offThread<QString>(
            this,
            [login]() -> QString {
                Keyring keyring;
                if (keyring.store(login))
                    return {};
                return keyring.lastError().isEmpty() ? QStringLiteral("?") : keyring.lastError();
            },
            [this, login](const QString &error) {
                forget(login.origin);
                if (error.isEmpty()) {
                    emit statusMessage(QStringLiteral("已将 %1 的密码保存到系统密钥环").arg(QUrl(login.origin).host()));
                } else {
                    qCWarning(lcPasswords).noquote() << "the keyring did not keep the login:" << error;
                    emit statusMessage(QStringLiteral("系统密钥环未保存密码: %1").arg(error));
                }
            });
    });
    connect(bar, &PasswordSaveBar::neverRequested, this, [this, origin = login.origin] { m_never.add(origin); });
    m_pages->addPageBar(page, bar);
}
