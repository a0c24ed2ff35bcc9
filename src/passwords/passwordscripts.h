#pragma once

#include "loginform.h"

#include <QList>
#include <QString>

// The scripts of the passwords feature, run in the program's own script world, out of the
// page's scripts' reach.
namespace PasswordScripts {

// Run in every frame: reports login fields as they show, the field the user focuses, and
// what the user typed into a login form once it is sent (a form sent, a click or Enter that
// may send it, the form taken away, the page left). Posts nothing the user did not type.
QString frameScript();

// Where a login goes: the frame (its path of frame positions from the top document) and
// its origin, which the frame must still have.
struct FillTarget
{
    QList<int> framePath;
    QString origin;
    FormField user;     // index < 0: none
    FormField password; // index < 0: none
};

// Fills the fields as if typed (input and change events the page's scripts see), only
// into visible, writable fields that are still the ones described, and only in a frame of
// the same origin reached from the top document (never a frame of another origin). Gives
// true when it filled.
QString fillScript(const FillTarget &target, const QString &user, const QString &password);

} // namespace PasswordScripts
