#pragma once

#include <QJsonArray>
#include <QList>
#include <QString>

#include <optional>

// One text-like input of a document as the frame script describes it.
struct FormField
{
    int index = -1;       // among the document's input elements, in document order
    int form = -1;        // its form among the document's forms; -1 outside any form
    QString type;         // lower case: text, email, tel, password
    QString name;
    QString id;
    QString autocomplete; // lower case
    bool visible = false;
    bool typed = false;   // the user typed into it (a script's input does not count)
    QString value;        // only in what a submission reports

    bool isPassword() const;
    // A field that looks like it takes a user name or a mail address.
    bool looksLikeUser() const;
};

// Which fields of a login take the user name and the password; positions in the list given.
struct LoginFields
{
    int user = -1;
    int password = -1;
};

// What the user sent: the user name (may be empty) and the password to keep (empty for the
// first step of a page that asks the user name alone).
struct SubmittedLogin
{
    QString user;
    QString password;
};

// The rules that tell a login form from others, in one place.
namespace LoginForm {

QList<FormField> fieldsFromJson(const QJsonArray &array);
// The fields of one form (or of those outside any form) of `fields`, in order.
QList<FormField> sameForm(const QList<FormField> &fields, int form);

// The visible fields a saved login goes into. A password field only when it is the one
// visible password of the form or is marked as the current password (a form that asks
// for a new password twice is not a login); the user field is the visible text-like field
// marked as user name, else the last one before the password. A form with no password
// takes a user name only when a field looks like one (a page that asks the user name first).
LoginFields fillTargets(const QList<FormField> &form);

// What a sent form gives to keep, when the user typed into it. One password: that one.
// Two: a new password and its repetition (equal) or the current and a new one. Three:
// current, new and repetition, kept only when the last two agree. None when the user typed
// no password and no user name, or the passwords do not make sense.
std::optional<SubmittedLogin> submitted(const QList<FormField> &form);

} // namespace LoginForm
