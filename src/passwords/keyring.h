#pragma once

#include <QList>
#include <QString>

// A saved login. The password is filled in only where it was asked for.
struct SavedLogin
{
    QString origin; // scheme://host[:port] of the page that asked
    QString action; // the origin the form was sent to
    QString user;
    QString password;
};

// Logins kept by the desktop's Secret Service (GNOME Keyring, KWallet) through libsecret:
// one item per origin and user name. Nothing of them is ever written by the program itself.
// Calls wait for the service (a local process over D-Bus).
class Keyring
{
public:
    // Whether the service answers and its keyring is open (or was opened when asked).
    bool available();
    // The logins of an origin, with their passwords, sorted by user name. `mayAsk`: a locked
    // keyring is opened, asking the user (not for a page that merely loaded).
    QList<SavedLogin> logins(const QString &origin, bool mayAsk = true);
    // Every login of ours, without passwords.
    QList<SavedLogin> all();
    QString password(const QString &origin, const QString &user);
    // Saves or replaces the login of this origin and user name; false when it was not kept.
    bool store(const SavedLogin &login);
    bool remove(const QString &origin, const QString &user);
    QString lastError() const { return m_error; }

private:
    QString m_error;
};
