#include "keyring.h"

#include "passwordslog.h"

#include <QUrl>

#include <algorithm>

// libsecret's headers use `signals` as a name.
#undef signals
#include <libsecret/secret.h>
#define signals Q_SIGNALS

namespace {

const SecretSchema *schema()
{
    static const SecretSchema value = {"org.sablix.Login",
                                       SECRET_SCHEMA_NONE,
                                       {{"origin", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        {"scheme", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        {"host", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        {"port", SECRET_SCHEMA_ATTRIBUTE_INTEGER},
                                        {"action", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        {"username", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                       0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &value;
}

QString take(GError *&error)
{
    if (!error)
        return {};
    const QString text = QString::fromUtf8(error->message);
    g_clear_error(&error);
    return text.isEmpty() ? QStringLiteral("?") : text;
}

QString attribute(GHashTable *attributes, const char *name)
{
    return QString::fromUtf8(static_cast<const char *>(g_hash_table_lookup(attributes, name)));
}

// Searches with the attributes given (none: every login of ours).
QList<SavedLogin> search(const QString &origin, const QString &user, bool withSecrets, QString *error, bool mayAsk = true)
{
    GHashTable *query = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free);
    if (!origin.isEmpty())
        g_hash_table_insert(query, g_strdup("origin"), g_strdup(origin.toUtf8().constData()));
    if (!user.isNull())
        g_hash_table_insert(query, g_strdup("username"), g_strdup(user.toUtf8().constData()));
    GError *failure = nullptr;
    const int flags = SECRET_SEARCH_ALL | (mayAsk ? SECRET_SEARCH_UNLOCK : 0) | (withSecrets ? SECRET_SEARCH_LOAD_SECRETS : 0);
    GList *found = secret_password_searchv_sync(schema(), query, static_cast<SecretSearchFlags>(flags), nullptr, &failure);
    g_hash_table_unref(query);
    QList<SavedLogin> logins;
    *error = take(failure);
    for (GList *item = found; item; item = item->next) {
        auto *retrievable = static_cast<SecretRetrievable *>(item->data);
        GHashTable *attributes = secret_retrievable_get_attributes(retrievable);
        SavedLogin login;
        login.origin = attribute(attributes, "origin");
        login.action = attribute(attributes, "action");
        login.user = attribute(attributes, "username");
        g_hash_table_unref(attributes);
        if (withSecrets) {
            SecretValue *value = secret_retrievable_retrieve_secret_sync(retrievable, nullptr, &failure);
            if (value) {
                login.password = QString::fromUtf8(secret_value_get_text(value));
                secret_value_unref(value);
            } else {
                *error = take(failure);
                continue; // still locked: not a login we can fill
            }
        }
        logins.append(login);
    }
    g_list_free_full(found, g_object_unref);
    std::sort(logins.begin(), logins.end(), [](const SavedLogin &a, const SavedLogin &b) {
        return a.origin == b.origin ? a.user < b.user : a.origin < b.origin;
    });
    return logins;
}

} // namespace

bool Keyring::available()
{
    GError *failure = nullptr;
    SecretService *service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &failure);
    m_error = take(failure);
    if (!service)
        return false;
    g_object_unref(service);
    // The service may be on the bus by name only: a search asks it for real (and opens the
    // keyring when it is locked, asking the user).
    search(QStringLiteral("about:none"), {}, false, &m_error);
    if (!m_error.isEmpty())
        qCInfo(lcPasswords).noquote() << "no secret service:" << m_error;
    return m_error.isEmpty();
}

QList<SavedLogin> Keyring::logins(const QString &origin, bool mayAsk)
{
    return search(origin, {}, true, &m_error, mayAsk);
}

QList<SavedLogin> Keyring::all()
{
    return search({}, {}, false, &m_error);
}

QString Keyring::password(const QString &origin, const QString &user)
{
    const QList<SavedLogin> found = search(origin, user.isNull() ? QString(QLatin1String("")) : user, true, &m_error);
    return found.isEmpty() ? QString() : found.first().password;
}

bool Keyring::store(const SavedLogin &login)
{
    const QUrl url(login.origin);
    const QByteArray origin = login.origin.toUtf8(), scheme = url.scheme().toUtf8(), host = url.host().toUtf8(),
                     action = login.action.toUtf8(), user = login.user.toUtf8(),
                     label = QStringLiteral("sablix: %1").arg(url.host()).toUtf8(), secret = login.password.toUtf8();
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    GError *failure = nullptr;
    const bool stored = secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.constData(), secret.constData(),
                                                   nullptr, &failure, "origin", origin.constData(), "scheme",
                                                   scheme.constData(), "host", host.constData(), "port", port, "action",
                                                   action.constData(), "username", user.constData(), nullptr);
    m_error = take(failure);
    if (!stored || !m_error.isEmpty())
        return false;
    // One item per origin and user: once the new one is in, one with another form's action goes.
    QString ignored;
    for (const SavedLogin &old : search(login.origin, login.user, false, &ignored)) {
        if (old.action == login.action)
            continue;
        const QByteArray oldAction = old.action.toUtf8();
        secret_password_clear_sync(schema(), nullptr, &failure, "origin", origin.constData(), "username",
                                   user.constData(), "action", oldAction.constData(), nullptr);
        g_clear_error(&failure);
    }
    return true;
}

bool Keyring::remove(const QString &origin, const QString &user)
{
    GError *failure = nullptr;
    const QByteArray o = origin.toUtf8(), u = user.toUtf8();
    const bool removed = secret_password_clear_sync(schema(), nullptr, &failure, "origin", o.constData(), "username",
                                                    u.constData(), nullptr);
    m_error = take(failure);
    return removed && m_error.isEmpty();
}
