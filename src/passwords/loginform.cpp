#include "loginform.h"

#include <QJsonObject>
#include <QRegularExpression>

bool FormField::isPassword() const
{
    return type == QLatin1String("password") && autocomplete != QLatin1String("one-time-code");
}

bool FormField::looksLikeUser() const
{
    if (type != QLatin1String("text") && type != QLatin1String("email") && type != QLatin1String("tel"))
        return false;
    if (autocomplete.split(QLatin1Char(' ')).contains(QLatin1String("username")) || type == QLatin1String("email"))
        return true;
    if (autocomplete == QLatin1String("off") || autocomplete.contains(QLatin1String("one-time-code")))
        return false;
    static const QRegularExpression userish(QStringLiteral("user|login|logon|email|e-mail|mail|account|uid|账号|账户|用户|手机"),
                                            QRegularExpression::CaseInsensitiveOption);
    return userish.match(name).hasMatch() || userish.match(id).hasMatch();
}

namespace {

bool isUserMarked(const FormField &field)
{
    return field.autocomplete.split(QLatin1Char(' ')).contains(QLatin1String("username"));
}

bool isTextLike(const FormField &field)
{
    return field.type == QLatin1String("text") || field.type == QLatin1String("email") ||
           field.type == QLatin1String("tel");
}

// The user field that belongs to the password at `password` (or to the whole form when -1).
int userFieldFor(const QList<FormField> &form, int password, bool visibleOnly)
{
    for (int i = 0; i < form.size(); ++i)
        if (isUserMarked(form[i]) && (!visibleOnly || form[i].visible))
            return i;
    const int end = password < 0 ? int(form.size()) : password;
    for (int i = end - 1; i >= 0; --i)
        if (isTextLike(form[i]) && (!visibleOnly || form[i].visible))
            return i;
    return -1;
}

} // namespace

namespace LoginForm {

QList<FormField> fieldsFromJson(const QJsonArray &array)
{
    QList<FormField> fields;
    for (const QJsonValue &value : array) {
        const QJsonObject o = value.toObject();
        FormField field;
        field.index = o.value(QLatin1String("i")).toInt(-1);
        field.form = o.value(QLatin1String("f")).toInt(-1);
        field.type = o.value(QLatin1String("t")).toString().toLower();
        field.name = o.value(QLatin1String("n")).toString();
        field.id = o.value(QLatin1String("id")).toString();
        field.autocomplete = o.value(QLatin1String("ac")).toString().toLower().trimmed();
        field.visible = o.value(QLatin1String("v")).toBool();
        field.typed = o.value(QLatin1String("k")).toBool();
        field.value = o.value(QLatin1String("val")).toString();
        if (field.index >= 0)
            fields.append(field);
    }
    return fields;
}

QList<FormField> sameForm(const QList<FormField> &fields, int form)
{
    QList<FormField> out;
    for (const FormField &field : fields)
        if (field.form == form)
            out.append(field);
    return out;
}

LoginFields fillTargets(const QList<FormField> &form)
{
    LoginFields found;
    QList<int> passwords;
    for (int i = 0; i < form.size(); ++i)
        if (form[i].isPassword() && form[i].visible)
            passwords.append(i);
    for (int i : passwords)
        if (form[i].autocomplete == QLatin1String("current-password"))
            found.password = i;
    if (found.password < 0 && passwords.size() == 1 &&
        form[passwords.first()].autocomplete != QLatin1String("new-password"))
        found.password = passwords.first();
    if (found.password < 0 && !passwords.isEmpty())
        return {}; // a sign-up or change form: nothing to fill

    found.user = userFieldFor(form, found.password, true);
    if (found.password < 0 && (found.user < 0 || !form[found.user].looksLikeUser()))
        found.user = -1;
    return found;
}

std::optional<SubmittedLogin> submitted(const QList<FormField> &form)
{
    QList<int> passwords;
    bool passwordTyped = false;
    for (int i = 0; i < form.size(); ++i) {
        if (form[i].isPassword() && !form[i].value.isEmpty()) {
            passwords.append(i);
            passwordTyped = passwordTyped || form[i].typed;
        }
    }
    SubmittedLogin login;
    int passwordAt = -1;
    if (passwords.size() == 1) {
        passwordAt = passwords[0];
    } else if (passwords.size() == 2) {
        passwordAt = passwords[1]; // a repetition, or the new password after the current one
    } else if (passwords.size() == 3) {
        if (form[passwords[1]].value != form[passwords[2]].value)
            return std::nullopt;
        passwordAt = passwords[1];
    } else if (passwords.size() > 3) {
        return std::nullopt;
    }

    // A field marked as the user name counts first, hidden too (the second step of a two-step
    // page often names the user there): reading it is harmless, filling never goes there.
    int user = -1;
    for (int i = 0; i < form.size() && user < 0; ++i)
        if (isUserMarked(form[i]) && !form[i].value.trimmed().isEmpty())
            user = i;
    if (user < 0)
        user = userFieldFor(form, passwordAt, true);
    if (user < 0 || form[user].value.trimmed().isEmpty())
        user = userFieldFor(form, passwordAt, false);
    if (user >= 0)
        login.user = form[user].value.trimmed();

    if (passwordAt >= 0) {
        if (!passwordTyped)
            return std::nullopt; // filled by us or by the page: nothing new to keep
        login.password = form[passwordAt].value;
        return login;
    }
    // No password: the first step of a page that asks the user name alone.
    if (user < 0 || !form[user].typed || login.user.isEmpty() || !form[user].looksLikeUser())
        return std::nullopt;
    return login;
}

} // namespace LoginForm
