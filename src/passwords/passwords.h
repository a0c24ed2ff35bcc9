#pragma once

#include "keyring.h"
#include "loginform.h"
#include "neversites.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointF>
#include <QPointer>

#include <functional>
#include <optional>

class EngineFactory;
class LoginList;
class PasswordSaveBar;
class TEmbeddedWB;
class TFormWebbrowser;

// Sign in once: offers to keep what the user typed into a login form, keeps it in the
// desktop's keyring, and fills it when asked. Private pages fill, never save.
class Passwords : public QObject
{
    Q_OBJECT

public:
    Passwords(TFormWebbrowser *pages, EngineFactory *engine, QObject *parent = nullptr);
    ~Passwords() override;

    Keyring &keyring() { return m_keyring; }
    NeverSites &neverSites() { return m_never; }
    // The saved logins changed elsewhere (the 密码管理 window): forget what was looked up.
    void loginsChanged()
    {
        m_cache.clear();
        ++m_cacheGeneration;
    }

signals:
    void statusMessage(const QString &text);

private:
    struct Frame
    {
        QString origin;
        bool reachable = false; // a frame reached from the top document through frames of its origin
        QList<int> path;
        QPointF offset;
        double zoom = 1.0;
    };
    struct PageState
    {
        std::optional<SavedLogin> candidate; // sent maybe: offered once the page goes on
        QString firstStepOrigin;              // the user name a two-step page asked for first
        QString firstStepUser;
        QPointer<LoginList> list;
        QPointer<PasswordSaveBar> bar;
        // Bumped by each load and by each focus or blur: a lookup answered after it belongs
        // to what the page showed before.
        quint64 loads = 0;
        quint64 focuses = 0;
    };
    // What the keyring said of an origin, asked off the interface thread.
    struct Lookup
    {
        bool available = true;
        QList<SavedLogin> logins;
        QString error;
        quint64 cacheGeneration = 0; // of the cache when asked
    };

    void frameMessage(TEmbeddedWB *page, const QString &json);
    void pageLoadStarted(TEmbeddedWB *page);
    void formsShown(TEmbeddedWB *page, const Frame &frame, const QList<FormField> &fields);
    void fieldFocused(TEmbeddedWB *page, const Frame &frame, const QJsonObject &message);
    void formSent(TEmbeddedWB *page, const Frame &frame, const QJsonObject &message, bool surely);
    void offer(TEmbeddedWB *page, const SavedLogin &login);
    void fill(TEmbeddedWB *page, const Frame &frame, const QList<FormField> &form, const LoginFields &targets,
              const SavedLogin &login);
    // The service is a process over D-Bus: it may be slow, hang, or wait for the user to open
    // the keyring. The window goes on meanwhile; `then` gets the answer unless the page went.
    // `probe`: whether the service answers at all is asked first (available()).
    void lookUp(TEmbeddedWB *page, const QString &origin, bool mayAsk, bool probe,
                std::function<void(TEmbeddedWB *, const Lookup &)> then);
    void showUsers(TEmbeddedWB *page, const Frame &frame, const QList<FormField> &form, const LoginFields &targets,
                   const QRect &field, const QList<SavedLogin> &logins);
    // Kept for the origin unless the cache was emptied since the lookup was asked for (what it
    // found may lack a login kept meanwhile).
    void remember(const QString &origin, const Lookup &found);
    void forget(const QString &origin);
    void offerAfterLookup(TEmbeddedWB *page, const SavedLogin &login, const Lookup &found);
    PageState &state(TEmbeddedWB *page);
    void hideList(TEmbeddedWB *page);

    TFormWebbrowser *m_pages;
    Keyring m_keyring;
    NeverSites m_never;
    QHash<QString, QList<SavedLogin>> m_cache;
    quint64 m_cacheGeneration = 0;
    QHash<TEmbeddedWB *, PageState> m_states;
    bool m_noKeyringSaid = false;
};
